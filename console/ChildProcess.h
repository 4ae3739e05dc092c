#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/SystemHandle.h"

// How a child ended: by itself with an exit code, or ended by a signal. Windows has no
// signals: a crash's exception code takes the signal's place (0xC0000005 for an access
// violation, a negative number here), and a child ended by Signal() or Kill() shows the signal
// it was ended for.
struct ChildExit {
    bool exited = false;
    int code = -1;   // when exited
    int signal = 0;  // when not

    // As a shell reports it: the code, or 128 + the signal's number; an exception code as it
    // stands, as cmd reports it.
    int ShellStatus() const { return exited ? code : signal < 0 ? signal : 128 + signal; }
    bool operator==(const ChildExit&) const = default;
};

// The system's name of a signal that ended a child ("Segmentation fault"; on Windows also of
// an exception code: "Access violation (0xC0000005)").
std::string DescribeSignal(int signal);

// Where one of a child's standard streams goes.
struct ChildStream {
    enum class Kind {
        Inherit,  // ours
        Null,     // nothing to read, and what it writes is dropped
        Pipe,     // output and error only: read with ChildProcess::Read
        File,     // appended to `path`, which is made when missing
        Handle,   // `handle`, one of ours (a terminal, a file)
    };
    Kind kind = Kind::Inherit;
    std::string path;
    SystemHandle handle;

    static ChildStream Inherit() { return {}; }
    static ChildStream Null() { return {Kind::Null, {}, {}}; }
    static ChildStream Pipe() { return {Kind::Pipe, {}, {}}; }
    static ChildStream File(std::string path) { return {Kind::File, std::move(path), {}}; }
    static ChildStream Of(SystemHandle handle) { return {Kind::Handle, {}, handle}; }
};

struct ChildOptions {
    std::string program;                   // a path: it is not looked for in PATH
    std::vector<std::string> arguments;    // after the program's name
    std::vector<std::string> environment;  // "NAME=value", ahead of this process's own
    ChildStream input;
    ChildStream output;
    ChildStream error;
    // In a process group of its own, a Ctrl-C on the terminal reaches the parent alone, which
    // decides what the child is told.
    bool ownProcessGroup = false;
    // What becomes of the child when the parent ends first, also by a crash: a child that
    // outlives its parent holds its pipes and its ports.
    enum class WhenParentEnds { Nothing, Terminate, Kill };
    WhenParentEnds whenParentEnds = WhenParentEnds::Kill;
};

// What a read from a child's pipe found.
enum class ChildRead {
    Data,     // something was appended
    Nothing,  // nothing came within the bound
    Closed,   // the child closed its end (it ended) and everything was read
};

// A program started as a child, with its pipes. The destructor kills and reaps a child that is
// still running, so none outlives the object that started it.
class ChildProcess {
public:
    using Id = std::int64_t;  // the system's process id

    ChildProcess();  // no child
    explicit ChildProcess(const ChildOptions& options);
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False when it could not be started; StartError() says why. A program that cannot be
    // run at all may still start and end with 127 at once.
    bool Started() const;
    const std::string& StartError() const;
    Id ProcessId() const;  // -1 when not started

    // The read ends of Pipe streams (invalid otherwise), for WaitReadable beside other handles.
    SystemHandle OutputHandle() const;
    SystemHandle ErrorHandle() const;
    // Appends what the child wrote to its output (error) pipe, waiting up to `bound` for the
    // first byte; never blocks beyond it.
    ChildRead ReadOutput(std::string& into, std::chrono::milliseconds bound = {});
    ChildRead ReadError(std::string& into, std::chrono::milliseconds bound = {});
    // Reads the output into `into` until it holds `part`, the pipe closes or `bound` passes;
    // whether it holds `part`. What came after `part` stays in `into`.
    bool ReadOutputUntil(std::string& into, const std::string& part,
                         std::chrono::milliseconds bound);

    // How it ended, once it did within `bound` (0: without waiting); the child is then reaped
    // and later calls give the same answer.
    std::optional<ChildExit> Wait(std::chrono::milliseconds bound = {});
    // Ctrl-C: SIGINT. On Windows a Ctrl-Break to a child in a process group of its own, and
    // where no console carries it, the interrupt event of the child's SignalPipe; false when
    // neither reaches the child.
    bool Interrupt();
    // A signal by its POSIX number (on Windows, kSignalInterrupt is Interrupt() and every
    // other number ends the process).
    bool Signal(int number);
    // Ends it at once and reaps it.
    void Kill();

    // The path of this program, to start it again as a child; empty with `error` set when the
    // system does not say.
    static std::string ThisProgram(std::string& error);

private:
    struct State;
    std::unique_ptr<State> state_;
};
