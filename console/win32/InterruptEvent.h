#pragma once

#include <windows.h>

#include <string>

// A console delivers Ctrl-Break only to a process that shares it (and Wine delivers none): a
// SignalPipe therefore also listens to an event named after its process, which a parent sets to
// interrupt it where the console cannot. Auto-reset: one Set, one interrupt.
inline std::wstring InterruptEventName(DWORD processId) {
    return L"Local\\tarvelin-interrupt-" + std::to_wstring(processId);
}
