#pragma once

#include <windows.h>

#include <chrono>

// What the console control handler of SignalPipe does with one event, apart from its
// registration so that it can be called as the system calls it (on a thread of its own).
// Ctrl-C and Ctrl-Break are queued and handled at once. For a closing console, a log-off and a
// shut-down Windows ends the process as soon as the handler returns, so the handler waits,
// up to `grace`, until the program has stopped the pipe (SignalPipe::Stop or its destructor,
// after it stopped at a block boundary and closed its log). False when no SignalPipe listens:
// the next handler, or the system's default, decides.
BOOL HandleConsoleControl(DWORD event, std::chrono::milliseconds grace);

// Windows allows a closing console 5 seconds before it ends the process; shorter would give
// up time the program may need, longer is never granted.
constexpr std::chrono::milliseconds kConsoleCloseGrace{5000};
