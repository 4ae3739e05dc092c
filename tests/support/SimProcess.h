#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

// The simulator as a child process; reads its announcement lines from stdout.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args, std::vector<std::string> env = {}) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = SpawnChild(TARVELIN_SIM_PATH, std::move(args), env, -1, out[1], -1);
        close(out[1]);
        out_ = out[0];
    }
    ~SimProcess() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            close(out_);
        }
    }
    // Lines up to and including "ready"; empty when the process ends or the bound passes.
    std::vector<std::string> Announcements() {
        std::vector<std::string> lines;
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) {
                continue;
            }
            char c;
            if (read(out_, &c, 1) != 1) {
                break;
            }
            if (c != '\n') {
                text += c;
                continue;
            }
            lines.push_back(text);
            if (text == "ready") {
                return lines;
            }
            text.clear();
        }
        return {};
    }
    // Everything it prints until it closes its output (e.g. for --help), within the bound.
    std::string Output() {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    }
    // Exit status after a signal (or on its own), -1 when it does not end within the bound.
    int Stop(int signal = SIGTERM) {
        if (pid_ <= 0) {
            return -1;  // never signal -1 or 0: that would reach other processes
        }
        if (signal != 0) {
            kill(pid_, signal);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return status_;
            }
            usleep(10000);
        }
        return -1;
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
};

inline uint16_t PortOf(const std::vector<std::string>& lines) {
    for (const auto& line : lines) {
        if (line.rfind("tcp 127.0.0.1:", 0) == 0) {
            return static_cast<uint16_t>(std::stoi(line.substr(14)));
        }
    }
    return 0;
}

// Every coder's port, in the order the simulator printed them (--coders N).
inline std::vector<uint16_t> PortsOf(const std::vector<std::string>& lines) {
    std::vector<uint16_t> ports;
    for (const auto& line : lines) {
        if (line.rfind("tcp 127.0.0.1:", 0) == 0) {
            ports.push_back(static_cast<uint16_t>(std::stoi(line.substr(14))));
        }
    }
    return ports;
}

inline std::string PtyOf(const std::vector<std::string>& lines) {
    for (const auto& line : lines) {
        if (line.rfind("serial ", 0) == 0) {
            return line.substr(7);
        }
    }
    return {};
}
