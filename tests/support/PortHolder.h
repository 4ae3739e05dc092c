#pragma once

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "console/ChildProcess.h"

// Whether /proc names `pid` `name` within 5 s: a shell that is about to exec, or a forked child
// before its exec, still has the old name.
inline bool WaitForProcessName(ChildProcess::Id pid, const std::string& name) {
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

// Another program that holds a device open the way a terminal program does: no flock, no
// TIOCEXCL. Its name in /proc is "sleep". Killed when it goes out of scope.
class PortHolderProcess {
public:
    explicit PortHolderProcess(const std::string& devicePath) {
        ChildOptions options;
        options.program = "/bin/sh";
        options.arguments = {"-c", "exec 3<>\"$1\" || exit 1; echo ready; exec sleep 600", "sh",
                             devicePath};
        options.output = ChildStream::Pipe();
        process_ = ChildProcess(options);
        std::string said;
        ready_ = process_.ReadOutputUntil(said, "ready\n", std::chrono::seconds(5)) &&
                 WaitForProcessName(process_.ProcessId(), "sleep");
    }
    PortHolderProcess(const PortHolderProcess&) = delete;
    PortHolderProcess& operator=(const PortHolderProcess&) = delete;

    // True once the device is open in the child.
    bool Ready() const { return ready_; }
    ChildProcess::Id Pid() const { return process_.ProcessId(); }

    void Stop() { process_.Kill(); }

private:
    ChildProcess process_;
    bool ready_ = false;
};
