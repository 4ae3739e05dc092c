#include "console/ConsoleInput.h"

#include <poll.h>
#include <unistd.h>

bool StandardInputIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}

// A terminal in canonical mode is readable only once Enter completes the line.
bool WaitStandardInputLine(std::chrono::milliseconds bound) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, static_cast<int>(bound.count())) > 0;
}
