#include "console/ConsoleSetup.h"

#include <windows.h>

#include <cstdlib>

namespace {

// The console outlives us (the shell that started us keeps it): what we changed goes back.
UINT g_previousCodePage = 0;
struct SavedMode {
    HANDLE handle = nullptr;
    DWORD mode = 0;
} g_saved[2];

void Restore() {
    if (g_previousCodePage != 0) {
        SetConsoleOutputCP(g_previousCodePage);
    }
    for (const SavedMode& saved : g_saved) {
        if (saved.handle != nullptr) {
            SetConsoleMode(saved.handle, saved.mode);
        }
    }
}

}  // namespace

bool PrepareConsole() {
    static const bool prepared = [] {
        g_previousCodePage = GetConsoleOutputCP();
        if (g_previousCodePage != 0) {
            SetConsoleOutputCP(CP_UTF8);
        }
        bool sequences = true;
        const DWORD streams[] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
        for (int i = 0; i < 2; ++i) {
            const HANDLE handle = GetStdHandle(streams[i]);
            DWORD mode = 0;
            if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
                !GetConsoleMode(handle, &mode)) {
                continue;  // a pipe or a file takes whatever is written
            }
            g_saved[i] = {handle, mode};
            // Consoles before Windows 10 refuse the flag.
            if (!SetConsoleMode(
                    handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING | ENABLE_PROCESSED_OUTPUT)) {
                sequences = false;
            }
        }
        std::atexit(Restore);
        return sequences;
    }();
    return prepared;
}
