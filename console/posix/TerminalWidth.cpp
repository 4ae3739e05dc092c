#include "console/TerminalWidth.h"

#include <sys/ioctl.h>
#include <unistd.h>

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

bool Size(std::FILE* out, winsize& size) {
    return out != nullptr && ioctl(fileno(out), TIOCGWINSZ, &size) == 0;
}

}  // namespace

int TerminalWidth(std::FILE* out) {
    winsize size{};
    if (Size(out, size) && size.ws_col > 0) {
        return size.ws_col;
    }
    return FromEnvironment("COLUMNS", 80);
}

int TerminalHeight(std::FILE* out) {
    winsize size{};
    if (Size(out, size) && size.ws_row > 0) {
        return size.ws_row;
    }
    return FromEnvironment("LINES", 24);
}
