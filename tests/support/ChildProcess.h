#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

// Starts `path` with `args` (without the program name) and `env` in front of this process's
// environment; -1 for a descriptor keeps ours. The child is killed when the test process ends,
// also when it crashes, so no simulator outlives its test and holds the test runner's pipes.
// Returns the child's pid, or -1.
inline pid_t SpawnChild(const std::string& path, std::vector<std::string> args,
                        const std::vector<std::string>& env, int stdinFd, int stdoutFd,
                        int stderrFd) {
    args.insert(args.begin(), path);
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment(env);
    for (char** e = environ; *e != nullptr; ++e) {
        environment.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (auto& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;  // the child's pid, or -1
    }
    // In the child only async-signal-safe calls until exec.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) {
        _exit(127);
    }
    if ((stdinFd >= 0 && dup2(stdinFd, 0) < 0) || (stdoutFd >= 0 && dup2(stdoutFd, 1) < 0) ||
        (stderrFd >= 0 && dup2(stderrFd, 2) < 0)) {
        _exit(127);
    }
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
}
