#include "console/ConsoleOutput.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

bool IsTerminal(std::FILE* stream) {
    return stream != nullptr && isatty(fileno(stream)) == 1;
}

bool RedrawsInPlace(std::FILE* stream) {
    const char* term = std::getenv("TERM");
    return IsTerminal(stream) && std::string(term != nullptr ? term : "dumb") != "dumb";
}
