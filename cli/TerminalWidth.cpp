#include "cli/TerminalWidth.h"

#include <sys/ioctl.h>

#include <cstdlib>

namespace {

constexpr int kDefaultColumns = 80;

bool StartsCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

}  // namespace

int TerminalColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    // Set by the shell for the terminal it runs in, also when our output is a pipe to less.
    const char* columns = std::getenv("COLUMNS");
    if (columns != nullptr) {
        char* end = nullptr;
        const long value = std::strtol(columns, &end, 10);
        if (end != columns && *end == '\0' && value > 0 && value <= 10000) {
            return static_cast<int>(value);
        }
    }
    return kDefaultColumns;
}

size_t ColumnsOf(const std::string& text) {
    size_t columns = 0;
    for (char byte : text) {
        columns += StartsCharacter(byte) ? 1 : 0;
    }
    return columns;
}

std::string CutToColumns(const std::string& text, size_t columns) {
    size_t counted = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        if (StartsCharacter(text[at])) {
            if (counted == columns) {
                return text.substr(0, at);
            }
            ++counted;
        }
    }
    return text;
}
