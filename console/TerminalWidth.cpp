#include "console/TerminalWidth.h"

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

}  // namespace

int TerminalWidth(std::FILE* out) {
    TerminalSize size;
    if (out != nullptr && SystemTerminalSize(out, size) && size.columns > 0) {
        return size.columns;
    }
    return FromEnvironment("COLUMNS", 80);
}

int TerminalHeight(std::FILE* out) {
    TerminalSize size;
    if (out != nullptr && SystemTerminalSize(out, size) && size.lines > 0) {
        return size.lines;
    }
    return FromEnvironment("LINES", 24);
}
