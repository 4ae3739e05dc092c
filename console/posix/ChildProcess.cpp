// fork and exec, with the child's streams set up between them; the parent reads non-blocking
// pipes and learns of the end through a pidfd where the kernel has one.
#include "console/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

extern char** environ;

struct ChildProcess::State {
    pid_t pid = -1;
    int output = -1;  // read ends of the pipes
    int error = -1;
    int exitFd = -1;  // pidfd: readable once the child ended
    std::optional<ChildExit> exit;
    std::string startError;
};

namespace {

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The descriptor the child gets for one stream (-1: ours as it is), and for a pipe the
// parent's end; `opened` says whether `childEnd` is ours to close after the fork.
struct StreamEnds {
    int childEnd = -1;
    int parentEnd = -1;
    bool opened = false;
};

bool OpenStream(const ChildStream& stream, bool input, StreamEnds& ends, std::string& error) {
    switch (stream.kind) {
        case ChildStream::Kind::Inherit:
            return true;
        case ChildStream::Kind::Null:
            ends.childEnd = open("/dev/null", (input ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
            ends.opened = ends.childEnd >= 0;
            error = ends.opened ? "" : Reason("/dev/null");
            return ends.opened;
        case ChildStream::Kind::File:
            ends.childEnd = open(
                stream.path.c_str(),
                input ? O_RDONLY | O_CLOEXEC : O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
            ends.opened = ends.childEnd >= 0;
            error = ends.opened ? "" : Reason(stream.path);
            return ends.opened;
        case ChildStream::Kind::Handle:
            ends.childEnd = static_cast<int>(stream.handle.native);
            return true;
        case ChildStream::Kind::Pipe: {
            if (input) {
                error = "a pipe to the child's input is not offered";
                return false;
            }
            int fds[2];
            if (pipe2(fds, O_CLOEXEC) != 0) {
                error = Reason("pipe");
                return false;
            }
            fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
            ends.parentEnd = fds[0];
            ends.childEnd = fds[1];
            ends.opened = true;
            return true;
        }
    }
    return true;
}

ChildExit Decode(int status) {
    ChildExit exit;
    exit.exited = WIFEXITED(status);
    exit.code = exit.exited ? WEXITSTATUS(status) : -1;
    exit.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return exit;
}

// Appends what `fd` holds, waiting up to `bound` for the first byte; closes it at its end.
ChildRead ReadFrom(int& fd, std::string& into, std::chrono::milliseconds bound) {
    if (fd < 0) {
        return ChildRead::Closed;
    }
    bool got = false;
    bool waited = bound.count() <= 0;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            if (got || waited) {
                return got ? ChildRead::Data : ChildRead::Nothing;
            }
            WaitReadable({SystemHandle{fd}}, bound);
            waited = true;
            continue;
        }
        CloseIfOpen(fd);  // its end, or an error that no later read mends
        return ChildRead::Closed;
    }
}

}  // namespace

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::ChildProcess(const ChildOptions& options) : state_(std::make_unique<State>()) {
    State& s = *state_;
    // Everything the child needs is made before the fork: between fork and exec it may only
    // make async-signal-safe calls.
    std::vector<std::string> args{options.program};
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> variables = options.environment;
    std::vector<char*> envp;
    for (std::string& v : variables) {
        envp.push_back(v.data());
    }
    for (char** e = environ; *e != nullptr; ++e) {
        envp.push_back(*e);
    }
    envp.push_back(nullptr);

    StreamEnds ends[3];
    const ChildStream* streams[3] = {&options.input, &options.output, &options.error};
    const auto closeAll = [&] {
        for (StreamEnds& e : ends) {
            if (e.opened) {
                CloseIfOpen(e.childEnd);
            }
            CloseIfOpen(e.parentEnd);
        }
    };
    for (int i = 0; i < 3; ++i) {
        if (!OpenStream(*streams[i], i == 0, ends[i], s.startError)) {
            closeAll();
            return;
        }
    }

    int deathSignal = 0;
    if (options.whenParentEnds == ChildOptions::WhenParentEnds::Terminate) {
        deathSignal = SIGTERM;
    } else if (options.whenParentEnds == ChildOptions::WhenParentEnds::Kill) {
        deathSignal = SIGKILL;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        if (options.ownProcessGroup) {
            setpgid(0, 0);
        }
        if (deathSignal != 0) {
            prctl(PR_SET_PDEATHSIG, deathSignal);
            if (getppid() != parent) {
                _exit(127);  // the parent ended before the request took hold
            }
        }
        // What we stop a child with must work whatever this process did with it.
        for (const int number : {SIGINT, SIGTERM, SIGPIPE}) {
            signal(number, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int i = 0; i < 3; ++i) {
            if (ends[i].childEnd >= 0 && dup2(ends[i].childEnd, i) < 0) {
                _exit(127);
            }
        }
        execve(options.program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) {
        s.startError = Reason("fork");
        closeAll();
        return;
    }
    for (StreamEnds& e : ends) {
        if (e.opened) {
            CloseIfOpen(e.childEnd);
        }
    }
    s.pid = pid;
    s.output = ends[1].parentEnd;
    s.error = ends[2].parentEnd;
#ifdef SYS_pidfd_open
    s.exitFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#endif
}

ChildProcess::~ChildProcess() {
    if (!state_) {
        return;
    }
    Kill();
    CloseIfOpen(state_->output);
    CloseIfOpen(state_->error);
    CloseIfOpen(state_->exitFd);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept = default;

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        ChildProcess ended(std::move(*this));  // ours is killed and closed here
        state_ = std::move(other.state_);
    }
    return *this;
}

bool ChildProcess::Started() const {
    return state_ && state_->pid > 0;
}

const std::string& ChildProcess::StartError() const {
    static const std::string none;
    return state_ ? state_->startError : none;
}

ChildProcess::Id ChildProcess::ProcessId() const {
    return Started() ? state_->pid : -1;
}

SystemHandle ChildProcess::OutputHandle() const {
    return {state_ ? state_->output : -1};
}

SystemHandle ChildProcess::ErrorHandle() const {
    return {state_ ? state_->error : -1};
}

ChildRead ChildProcess::ReadOutput(std::string& into, std::chrono::milliseconds bound) {
    return state_ ? ReadFrom(state_->output, into, bound) : ChildRead::Closed;
}

ChildRead ChildProcess::ReadError(std::string& into, std::chrono::milliseconds bound) {
    return state_ ? ReadFrom(state_->error, into, bound) : ChildRead::Closed;
}

std::optional<ChildExit> ChildProcess::Wait(std::chrono::milliseconds bound) {
    if (!Started() || state_->exit) {
        return state_ ? state_->exit : std::nullopt;
    }
    State& s = *state_;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(s.pid, &status, WNOHANG);
        if (ended == s.pid) {
            s.exit = Decode(status);
            CloseIfOpen(s.exitFd);
            return s.exit;
        }
        if (ended < 0 && errno != EINTR) {
            s.exit = ChildExit{true, -1, 0};  // reaped elsewhere: nothing more to learn
            CloseIfOpen(s.exitFd);
            return s.exit;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        // Without a pidfd the end is looked for every few milliseconds.
        pollfd exitFd{s.exitFd, POLLIN, 0};
        poll(&exitFd, 1,
             static_cast<int>(s.exitFd >= 0 ? left.count() : std::min<long>(5, left.count())));
    }
}

bool ChildProcess::Interrupt() {
    return Signal(SIGINT);
}

bool ChildProcess::Signal(int number) {
    // Never once it was reaped: its pid may name another process by now.
    return Started() && !state_->exit && kill(state_->pid, number) == 0;
}

void ChildProcess::Kill() {
    if (!Started() || state_->exit) {
        return;
    }
    kill(state_->pid, SIGKILL);
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(state_->pid, &status, 0)) < 0 && errno == EINTR) {
    }
    state_->exit = ended == state_->pid ? Decode(status) : ChildExit{true, -1, 0};
    CloseIfOpen(state_->exitFd);
}

std::string ChildProcess::ThisProgram(std::string& error) {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        error = std::strerror(errno);
        return {};
    }
    return std::string(self, static_cast<size_t>(length));
}

std::string DescribeSignal(int signal) {
    return strsignal(signal);
}
