#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "console/ChildProcess.h"

// One run of tarvelin-cli with standard output and error on a pseudo-terminal of a given
// width, as on a technician's screen; standard input is /dev/null. What it writes is read while
// it runs, so it never blocks on a full terminal.
class CliOnTerminal {
public:
    CliOnTerminal(std::vector<std::string> args, int columns) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            return;
        }
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = 24;
        ioctl(master_, TIOCSWINSZ, &size);
        const int terminal = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal >= 0) {
            ChildOptions options;
            options.program = TARVELIN_CLI_PATH;
            options.arguments = std::move(args);
            options.environment = {"COLUMNS="};
            options.input = ChildStream::Null();
            options.output = ChildStream::Of({terminal});
            options.error = ChildStream::Of({terminal});
            process_ = ChildProcess(options);
            close(terminal);
        }
    }
    ~CliOnTerminal() {
        process_.Kill();
        if (master_ >= 0) {
            close(master_);
        }
    }

    // The exit status once it ended and all it wrote was read; -1 when that did not happen
    // within the bound (it is then killed).
    int Wait(std::chrono::milliseconds bound = std::chrono::seconds(90)) {
        if (!process_.Started()) {
            return -1;
        }
        const auto deadline = std::chrono::steady_clock::now() + bound;
        // The master reads end (EIO) when the last holder of the terminal, the program, is gone.
        for (;;) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return -1;
            }
            pollfd ready{master_, POLLIN, 0};
            if (poll(&ready, 1, 50) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            output_.append(buffer, static_cast<size_t>(got));
        }
        // Its terminal closed: it is ending, also when the bound is spent by now.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const std::optional<ChildExit> exit =
            process_.Wait(std::max(left, std::chrono::milliseconds(1000)));
        return exit && exit->exited ? exit->code : -1;
    }

    // As the terminal received it: line feeds arrive as CR LF.
    const std::string& Output() const { return output_; }

private:
    int master_ = -1;
    ChildProcess process_;
    std::string output_;
};
