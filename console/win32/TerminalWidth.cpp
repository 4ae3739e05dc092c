#include "console/TerminalWidth.h"

#include <io.h>
#include <windows.h>

#include <cstdlib>

namespace {

int FromEnvironment(const char* name, int otherwise) {
    const char* text = std::getenv(name);
    if (text == nullptr) {
        return otherwise;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value > 0 && value < 10000 ? static_cast<int>(value)
                                                                     : otherwise;
}

// The visible window of the console's buffer, not the buffer, which may be far longer.
bool Window(std::FILE* out, SMALL_RECT& window) {
    if (out == nullptr) {
        return false;
    }
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) {
        return false;
    }
    window = info.srWindow;
    return true;
}

}  // namespace

int TerminalWidth(std::FILE* out) {
    SMALL_RECT window{};
    if (Window(out, window) && window.Right >= window.Left) {
        return window.Right - window.Left + 1;
    }
    return FromEnvironment("COLUMNS", 80);
}

int TerminalHeight(std::FILE* out) {
    SMALL_RECT window{};
    if (Window(out, window) && window.Bottom >= window.Top) {
        return window.Bottom - window.Top + 1;
    }
    return FromEnvironment("LINES", 24);
}
