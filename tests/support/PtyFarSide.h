#pragma once

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/PortHolder.h"

// The other end of a pseudo-terminal that keeps the slave open as well as the master, as every
// bridge and simulator built on openpty() does. Killed when it goes out of scope.

// socat joining a pseudo-terminal linked as `folder`/vA to a second one linked as `folder`/vB,
// or to the device `farDevice` (raw at 9600 baud): the usual way to put a serial line through
// to a terminal server or a simulator.
class SocatBridge {
public:
    explicit SocatBridge(const std::string& folder, const std::string& farDevice = "")
        : a_(folder + "vA"), b_(farDevice.empty() ? folder + "vB" : farDevice) {
        const std::string far =
            farDevice.empty() ? "pty,raw,echo=0,link=" + b_ : farDevice + ",raw,echo=0,b9600";
        ChildOptions options;
        options.program = "/usr/bin/env";
        options.arguments = {"socat", "pty,raw,echo=0,link=" + a_, far};
        process_ = ChildProcess(options);
        ready_ = process_.Started() && WaitForProcessName(process_.ProcessId(), "socat") &&
                 WaitForLinks();
    }
    SocatBridge(const SocatBridge&) = delete;
    SocatBridge& operator=(const SocatBridge&) = delete;

    // False when socat is missing (scripts/setup.sh installs it) or made no links in 5 s.
    bool Ready() const { return ready_; }
    ChildProcess::Id Pid() const { return process_.ProcessId(); }
    const std::string& A() const { return a_; }
    const std::string& B() const { return b_; }  // vB, or the far device

private:
    bool WaitForLinks() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            std::error_code error;
            if (std::filesystem::exists(a_, error) && std::filesystem::exists(b_, error)) {
                return true;
            }
            usleep(2000);
        }
        return false;
    }

    std::string a_;
    std::string b_;
    ChildProcess process_;
    bool ready_ = false;
};

// A process (named "sleep") holding both ends of a pty made with openpty(). This test process
// keeps the master too, to play the device.
class OpenptyFarSide {
public:
    OpenptyFarSide() {
        int slave = -1;
        char name[256] = {};
        if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
            return;
        }
        path_ = name;
        // Only the far side gets both ends (as its stdin and stdout); other children, such as a
        // second client, must not inherit the master and pass for the far side themselves.
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        ChildOptions options;
        options.program = "/bin/sleep";
        options.arguments = {"600"};
        options.input = ChildStream::Of({master_});
        options.output = ChildStream::Of({slave});
        process_ = ChildProcess(options);
        close(slave);
        ready_ = process_.Started() && WaitForProcessName(process_.ProcessId(), "sleep");
    }
    ~OpenptyFarSide() {
        process_.Kill();
        if (master_ >= 0) {
            close(master_);
        }
    }
    OpenptyFarSide(const OpenptyFarSide&) = delete;
    OpenptyFarSide& operator=(const OpenptyFarSide&) = delete;

    bool Ready() const { return ready_; }
    ChildProcess::Id Pid() const { return process_.ProcessId(); }
    const std::string& Path() const { return path_; }
    int Master() const { return master_; }

private:
    int master_ = -1;
    std::string path_;
    ChildProcess process_;
    bool ready_ = false;
};
