#pragma once

#include <windows.h>

#include <string>

// Something named like a file that is no regular file, and that a read waits on until a writer
// comes: a named pipe (Windows keeps them in \\.\pipe\, not in `folder`).
class BlockingPipe {
public:
    BlockingPipe(const std::string&, const std::string& name)
        : path_("\\\\.\\pipe\\tarvelin-" + std::to_string(GetCurrentProcessId()) + "-" + name) {
        server_ = CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                   4, 512, 512, 0, nullptr);
    }
    ~BlockingPipe() { Release(); }
    BlockingPipe(const BlockingPipe&) = delete;
    BlockingPipe& operator=(const BlockingPipe&) = delete;

    bool Valid() const { return server_ != INVALID_HANDLE_VALUE; }
    const std::string& Path() const { return path_; }
    // Lets a reader that waits on the pipe go on: the writer goes.
    void Release() {
        if (server_ != INVALID_HANDLE_VALUE) {
            CloseHandle(server_);
            server_ = INVALID_HANDLE_VALUE;
        }
    }

private:
    std::string path_;
    HANDLE server_ = INVALID_HANDLE_VALUE;
};
