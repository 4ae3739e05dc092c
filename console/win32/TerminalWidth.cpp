#include "console/TerminalWidth.h"

#include <io.h>
#include <windows.h>

// The visible window of the console's buffer, not the buffer, which may be far longer.
bool SystemTerminalSize(std::FILE* out, TerminalSize& size) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) {
        return false;
    }
    const SMALL_RECT& window = info.srWindow;
    size = {window.Right - window.Left + 1, window.Bottom - window.Top + 1};
    return true;
}
