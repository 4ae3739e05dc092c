#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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
    explicit CliProcess(std::vector<std::string> args, std::vector<std::string> env = {}) {
        const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = open((dir_.Path() + "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const int err = open((dir_.Path() + "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (in >= 0 && out >= 0 && err >= 0) {
            pid_ = SpawnChild(TARVELIN_CLI_PATH, std::move(args), env, in, out, err);
        }
        for (int fd : {in, out, err}) {
            if (fd >= 0) {
                close(fd);
            }
        }
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

    std::string Out() const { return Read("out"); }
    std::string Err() const { return Read("err"); }

private:
    static constexpr int kRunning = -2;

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

// The raw value of `key` in the command line's one-line JSON object: a number, true/false, a
// quoted string with its quotes, or an array; empty when the key is missing.
inline std::string JsonField(const std::string& json, const std::string& key) {
    const std::string name = "\"" + key + "\": ";
    const size_t at = json.find(name);
    if (at == std::string::npos) {
        return {};
    }
    const size_t start = at + name.size();
    size_t end = start;
    if (json[start] == '"') {
        for (end = start + 1; end < json.size() && json[end] != '"'; ++end) {
            if (json[end] == '\\') {
                ++end;
            }
        }
        return json.substr(start, end + 1 - start);
    }
    if (json[start] == '[') {
        end = json.find(']', start);
        return end == std::string::npos ? std::string() : json.substr(start, end + 1 - start);
    }
    end = json.find_first_of(",}", start);
    return json.substr(start, end - start);
}
