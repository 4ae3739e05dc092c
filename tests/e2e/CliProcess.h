#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FirmwareFolder.h"
#include "support/ChildProcess.h"
#include "unit/TempDirectory.h"

// One run of tarvelin-cli as a process, with no terminal: standard input is /dev/null, and
// standard output and standard error go to files that are read after it ended.
class CliProcess {
public:
    // `asUser` > 0 runs it with that uid and gid and no groups (through setpriv), for the
    // checks that root would pass.
    explicit CliProcess(std::vector<std::string> args, std::vector<std::string> env = {},
                        int asUser = 0) {
        std::string program = TARVELIN_CLI_PATH;
        if (asUser > 0) {
            const std::string id = std::to_string(asUser);
            args.insert(args.begin(),
                        {"--reuid=" + id, "--regid=" + id, "--clear-groups", "--", program});
            program = "/usr/bin/setpriv";
            chmod(dir_.Path().c_str(), 0777);
        }
        Start(program, std::move(args), env);
    }
    // Another program, run the same way: CliProcess(CliProcess::Program{}, path, args).
    struct Program {};
    CliProcess(Program, const std::string& path, std::vector<std::string> args,
               const std::vector<std::string>& env = {}) {
        Start(path, std::move(args), env);
    }
    ~CliProcess() {
        if (pid_ > 0 && status_ == kRunning) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // The exit status, or -1 when it did not end within the bound (it is then killed).
    int Wait(std::chrono::milliseconds bound = std::chrono::seconds(90)) {
        if (pid_ <= 0) {
            return -1;
        }
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (status_ == kRunning) {
            int status = 0;
            const pid_t ended = waitpid(pid_, &status, WNOHANG);
            if (ended == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                status_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return status_;
    }

    // Sends a signal while it runs (Ctrl-C is SIGINT).
    void Signal(int number) const {
        if (pid_ > 0 && status_ == kRunning) {
            kill(pid_, number);
        }
    }
    // Waits until standard output (or error) holds `part` (true) or the process ended or the
    // bound passed.
    bool WaitForOutput(const std::string& part,
                       std::chrono::milliseconds bound = std::chrono::seconds(30),
                       bool error = false) const {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        const auto holds = [&] { return (error ? Err() : Out()).find(part) != std::string::npos; };
        while (std::chrono::steady_clock::now() < deadline) {
            if (holds()) {
                return true;
            }
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid_) {
                return holds();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::string Out() const { return Read("out"); }
    std::string Err() const { return Read("err"); }

private:
    static constexpr int kRunning = -2;

    void Start(const std::string& program, std::vector<std::string> args,
               const std::vector<std::string>& env) {
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = open((dir_.Path() + "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const int err = open((dir_.Path() + "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (in >= 0 && out >= 0 && err >= 0) {
            pid_ = SpawnChild(program, std::move(args), env, in, out, err);
        }
        for (int fd : {in, out, err}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    std::string Read(const std::string& name) const {
        std::string text;
        for (const std::string& line : ReadLines(dir_.Path() + name)) {
            text += line + "\n";
        }
        return text;
    }

    TempDirectory dir_;
    pid_t pid_ = -1;
    int status_ = kRunning;
};

// A frame line of the log ("-> FE,..." or "<- FE,..."); the procedure's own lines may also
// start with an arrow ("-> Bios is running").
inline bool IsFrameLine(const std::string& line) {
    return line.rfind("-> FE,", 0) == 0 || line.rfind("<- FE,", 0) == 0;
}

// The last line of the command line's standard output that is a JSON object: the --json
// object, or the "result" event of --events. Null when there is none.
inline nlohmann::json LastJson(const std::string& out) {
    std::istringstream lines(out);
    nlohmann::json last;
    for (std::string line; std::getline(lines, line);) {
        nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
        if (value.is_object()) {
            last = std::move(value);
        }
    }
    return last;
}

// The value of `key` in that object as JSON text: a number, true/false, a quoted string with
// its quotes, or an array; empty when the key is missing.
inline std::string JsonField(const std::string& out, const std::string& key) {
    const nlohmann::json object = LastJson(out);
    if (!object.is_object() || !object.contains(key)) {
        return {};
    }
    return object[key].dump();
}
