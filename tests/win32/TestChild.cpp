// The child of the Windows tests of console/ChildProcess: each mode does one thing a test needs
// of a child, and says on its output what a test checks.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "console/ChildProcess.h"
#include "console/SignalPipe.h"
#include "transport/win32/WideText.h"

namespace {

void Write(const std::string& text, std::FILE* to = stdout) {
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

LONG WINAPI EndWithTheCode(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;  // no debugger: the exception code becomes the exit code
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Bytes as written: no CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const std::string mode = argc > 1 ? Narrow(argv[1]) : "";
    const std::string value = argc > 2 ? Narrow(argv[2]) : "";
    if (mode == "args") {
        // Each as it arrived, ended by a NUL, which no argument can hold.
        for (int i = 2; i < argc; ++i) {
            Write(Narrow(argv[i]) + '\0');
        }
        return 0;
    }
    if (mode == "env") {
        const wchar_t* found = _wgetenv(Widen(value).c_str());
        Write(found != nullptr ? Narrow(found) : "(none)");
        return 0;
    }
    if (mode == "write") {
        Write(value);
        Write(argc > 3 ? Narrow(argv[3]) : "", stderr);
        return 0;
    }
    if (mode == "read-line") {
        std::string line;
        if (!std::getline(std::cin, line)) {
            return 1;
        }
        Write("read " + line + "\n");
        return 0;
    }
    if (mode == "exit") {
        // Any 32 bits, as ExitProcess takes them.
        ExitProcess(static_cast<UINT>(std::strtoul(value.c_str(), nullptr, 0)));
    }
    if (mode == "crash") {
        SetUnhandledExceptionFilter(EndWithTheCode);
        *static_cast<volatile int*>(nullptr) = 1;
        return 0;
    }
    if (mode == "sleep") {
        Sleep(static_cast<DWORD>(std::atoi(value.c_str())));
        return 0;
    }
    if (mode == "wait-signal") {
        SignalPipe signals;
        if (!signals.Valid()) {
            Write(signals.Error() + "\n");
            return 100;
        }
        Write("ready\n");
        const int number = signals.Wait(std::chrono::seconds(30));
        Write("signal " + std::to_string(number) + "\n");
        return number;
    }
    if (mode == "hold-child") {
        // A grandchild that would sleep for ten minutes, tied to our end.
        std::string error;
        ChildOptions options;
        options.program = ChildProcess::ThisProgram(error);
        options.arguments = {"sleep", "600000"};
        ChildProcess child(options);
        if (!child.Started()) {
            Write(child.StartError() + "\n");
            return 100;
        }
        Write(std::to_string(child.ProcessId()) + "\n");
        Sleep(static_cast<DWORD>(std::atoi(value.c_str())));
        return 0;
    }
    Write("unknown mode '" + mode + "'\n", stderr);
    return 64;
}
