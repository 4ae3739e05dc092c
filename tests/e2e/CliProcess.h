#pragma once

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FirmwareFolder.h"
#include "console/ChildProcess.h"
#include "unit/TempDirectory.h"

// One run of tarvelin-cli as a process, with no terminal: standard input is /dev/null, and
// standard output and standard error go to files that are read after it ended.
class CliProcess {
public:
    // `asUser` > 0 runs it with that uid and gid and no groups (through setpriv), for the
    // checks that root would pass.
    explicit CliProcess(std::vector<std::string> args, std::vector<std::string> env = {},
                        int asUser = 0) {
        ChildOptions options;
        options.program = TARVELIN_CLI_PATH;
        if (asUser > 0) {
            const std::string id = std::to_string(asUser);
            args.insert(args.begin(), {"--reuid=" + id, "--regid=" + id, "--clear-groups", "--",
                                       options.program});
            options.program = "/usr/bin/setpriv";
            chmod(dir_.Path().c_str(), 0777);
        }
        Start(options, std::move(args), std::move(env));
    }
    // Another program, run the same way: CliProcess(CliProcess::Program{}, path, args).
    struct Program {};
    CliProcess(Program, const std::string& path, std::vector<std::string> args,
               std::vector<std::string> env = {}) {
        ChildOptions options;
        options.program = path;
        Start(options, std::move(args), std::move(env));
    }

    // The exit status, or -1 when it did not end within the bound (it is then killed).
    int Wait(std::chrono::milliseconds bound = std::chrono::seconds(90)) {
        if (timedOut_) {
            return -1;
        }
        if (const std::optional<ChildExit> exit = process_.Wait(bound)) {
            return exit->ShellStatus();
        }
        process_.Kill();
        timedOut_ = true;
        return -1;
    }

    // Sends a signal while it runs (Ctrl-C is SIGINT).
    void Signal(int number) {
        if (!timedOut_) {
            process_.Signal(number);
        }
    }
    // Waits until standard output (or error) holds `part` (true) or the process ended or the
    // bound passed.
    bool WaitForOutput(const std::string& part,
                       std::chrono::milliseconds bound = std::chrono::seconds(30),
                       bool error = false) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        const auto holds = [&] { return (error ? Err() : Out()).find(part) != std::string::npos; };
        while (std::chrono::steady_clock::now() < deadline) {
            if (holds()) {
                return true;
            }
            if (process_.Wait(std::chrono::milliseconds(10))) {
                return holds();
            }
        }
        return false;
    }

    std::string Out() const { return Read("out"); }
    std::string Err() const { return Read("err"); }

private:
    void Start(ChildOptions& options, std::vector<std::string> args, std::vector<std::string> env) {
        options.arguments = std::move(args);
        options.environment = std::move(env);
        options.input = ChildStream::Null();
        options.output = ChildStream::File(dir_.Path() + "out");
        options.error = ChildStream::File(dir_.Path() + "err");
        process_ = ChildProcess(options);
    }

    std::string Read(const std::string& name) const {
        std::string text;
        for (const std::string& line : ReadLines(dir_.Path() + name)) {
            text += line + "\n";
        }
        return text;
    }

    TempDirectory dir_;
    ChildProcess process_;
    bool timedOut_ = false;
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
