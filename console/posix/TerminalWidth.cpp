#include "console/TerminalWidth.h"

#include <sys/ioctl.h>
#include <unistd.h>

bool SystemTerminalSize(std::FILE* out, TerminalSize& size) {
    winsize window{};
    if (ioctl(fileno(out), TIOCGWINSZ, &window) != 0) {
        return false;
    }
    size = {window.ws_col, window.ws_row};
    return true;
}
