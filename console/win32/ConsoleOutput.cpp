#include "console/ConsoleOutput.h"

#include <io.h>
#include <windows.h>

#include <cstdlib>
#include <string>

// _isatty is true for any character device, NUL among them: only a console with VT processing
// on (PrepareConsole turns it on) draws the sequences instead of printing them.
bool IsTerminal(std::FILE* stream) {
    if (stream == nullptr) {
        return false;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) &&
           (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool RedrawsInPlace(std::FILE* stream) {
    const char* term = std::getenv("TERM");
    return IsTerminal(stream) && (term == nullptr || std::string(term) != "dumb");
}
