#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

// A pseudo-terminal whose slave side this test process holds open (and, with Lock, locked).
// Holding the master too makes this process the line's far side, which never keeps the port
// from the program: only the lock does.
class HeldTerminal {
public:
    HeldTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            return;
        }
        path_ = ptsname(master_);
        slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~HeldTerminal() {
        for (int fd : {slave_, master_}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    bool Lock() { return slave_ >= 0 && flock(slave_, LOCK_EX | LOCK_NB) == 0; }
    const std::string& Path() const { return path_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};
