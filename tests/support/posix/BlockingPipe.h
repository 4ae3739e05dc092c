#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

// Something named like a file that is no regular file, and that an open or a read waits on
// until a writer comes: a FIFO in `folder` (ending in '/').
class BlockingPipe {
public:
    BlockingPipe(const std::string& folder, const std::string& name) : path_(folder + name) {
        valid_ = mkfifo(path_.c_str(), 0600) == 0;
    }
    BlockingPipe(const BlockingPipe&) = delete;
    BlockingPipe& operator=(const BlockingPipe&) = delete;

    bool Valid() const { return valid_; }
    const std::string& Path() const { return path_; }
    // Lets a reader that waits on the pipe go on: a writer comes and goes.
    void Release() { ::close(::open(path_.c_str(), O_WRONLY | O_NONBLOCK)); }

private:
    std::string path_;
    bool valid_ = false;
};
