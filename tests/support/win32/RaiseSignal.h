#pragma once

#include "console/SignalPipe.h"
#include "console/win32/ConsoleControl.h"

// Delivers a stop request to this process as the console would, by the control event a signal
// number stands for; a closing console is not held here (tests/win32 checks that it is).
inline void RaiseSignal(int number) {
    const DWORD event = number == kSignalHangUp      ? CTRL_CLOSE_EVENT
                        : number == kSignalTerminate ? CTRL_SHUTDOWN_EVENT
                                                     : CTRL_C_EVENT;
    HandleConsoleControl(event, std::chrono::milliseconds(0));
}
