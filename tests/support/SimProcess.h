#pragma once

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "console/ChildProcess.h"

// The simulator as a child process; reads its announcement lines from stdout.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args, std::vector<std::string> env = {}) {
        ChildOptions options;
        options.program = TARVELIN_SIM_PATH;
        options.arguments = std::move(args);
        options.environment = std::move(env);
        options.output = ChildStream::Pipe();
        process_ = ChildProcess(options);
    }
    // Lines up to and including "ready"; empty when the process ends or the bound passes.
    std::vector<std::string> Announcements() {
        std::vector<std::string> lines;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (ChildRead read = ChildRead::Data;;) {
            for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
                lines.push_back(pending_.substr(0, end));
                pending_.erase(0, end + 1);
                if (lines.back() == "ready") {
                    return lines;
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (read == ChildRead::Closed || left.count() <= 0) {
                return {};
            }
            read = process_.ReadOutput(pending_, left);
        }
    }
    // Everything it prints until it closes its output (e.g. for --help), within the bound.
    std::string Output() {
        std::string text = std::move(pending_);
        pending_.clear();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || process_.ReadOutput(text, left) == ChildRead::Closed) {
                return text;
            }
        }
    }
    // Exit status after a signal (or on its own), -1 when it does not end within the bound.
    int Stop(int signal = SIGTERM) {
        if (signal != 0) {
            process_.Signal(signal);
        }
        const std::optional<ChildExit> exit = process_.Wait(std::chrono::seconds(5));
        return exit ? exit->ShellStatus() : -1;
    }
    ChildProcess::Id pid() const { return process_.ProcessId(); }

private:
    ChildProcess process_;
    std::string pending_;  // read after the last line taken
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
