#pragma once

#include "console/SignalPipe.h"
#include "update/UpdateCodes.h"

// The exit statuses of tarvelin-cli, which its fleet reads from every child: the procedure's
// codes (update/UpdateCodes.h) as they are, and beyond them these (sysexits.h where one fits,
// 128 + the signal's number as a shell reports a process that a signal ended).
constexpr int kExitUsage = 64;
constexpr int kExitNoFirmware = 66;
constexpr int kExitUnavailable = 69;
constexpr int kExitCannotCreate = 73;
constexpr int kExitConfirmationNeeded = 75;

constexpr int ExitStatusOfSignal(int signal) {
    return 128 + signal;
}
constexpr int kExitInterrupted = ExitStatusOfSignal(kSignalInterrupt);

// Ended by Ctrl-C, SIGTERM or SIGHUP: each asks the same stop.
constexpr bool IsStopExitStatus(int status) {
    return status == ExitStatusOfSignal(kSignalInterrupt) ||
           status == ExitStatusOfSignal(kSignalTerminate) ||
           status == ExitStatusOfSignal(kSignalHangUp);
}
