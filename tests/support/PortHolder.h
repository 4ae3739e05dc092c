#pragma once

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "tests/support/ChildProcess.h"

// Whether /proc names `pid` `name` within 5 s: a shell that is about to exec, or a forked child
// before its exec, still has the old name.
inline bool WaitForProcessName(pid_t pid, const std::string& name) {
    const std::string comm = "/proc/" + std::to_string(pid) + "/comm";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(comm);
        std::string current;
        std::getline(in, current);
        if (current == name) {
            return true;
        }
        usleep(2000);
    }
    return false;
}

inline void KillChild(pid_t& pid) {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

// Another program that holds a device open the way a terminal program does: no flock, no
// TIOCEXCL. Its name in /proc is "sleep". Killed when it goes out of scope.
class PortHolderProcess {
public:
    explicit PortHolderProcess(const std::string& devicePath) {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        pid_ = SpawnChild(
            "/bin/sh",
            {"-c", "exec 3<>\"$1\" || exit 1; echo ready; exec sleep 600", "sh", devicePath}, {},
            -1, out[1], -1);
        close(out[1]);
        ready_ = WaitForReady(out[0]) && WaitForProcessName(pid_, "sleep");
        close(out[0]);
    }
    ~PortHolderProcess() { Stop(); }
    PortHolderProcess(const PortHolderProcess&) = delete;
    PortHolderProcess& operator=(const PortHolderProcess&) = delete;

    // True once the device is open in the child.
    bool Ready() const { return ready_; }
    pid_t Pid() const { return pid_; }

    void Stop() { KillChild(pid_); }

private:
    static bool WaitForReady(int fd) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (text.find("ready\n") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd readable{fd, POLLIN, 0};
            if (poll(&readable, 1, 100) == 1) {
                char piece[64];
                const ssize_t n = read(fd, piece, sizeof piece);
                if (n <= 0) {
                    return false;
                }
                text.append(piece, static_cast<size_t>(n));
            }
        }
        return text.find("ready\n") != std::string::npos;
    }

    pid_t pid_ = -1;
    bool ready_ = false;
};
