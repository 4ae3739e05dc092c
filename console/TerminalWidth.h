#pragma once

#include <cstdio>

// The columns of the terminal `out` writes to; when it is none (a pipe, a file) or does not
// say, $COLUMNS, else 80.
int TerminalWidth(std::FILE* out);

// Its lines, the same way: $LINES, else 24.
int TerminalHeight(std::FILE* out);

// What the system says of the terminal `out` (not null) writes to: false when it is none or
// does not say. The functions above fall back on the environment.
struct TerminalSize {
    int columns = 0;
    int lines = 0;
};
bool SystemTerminalSize(std::FILE* out, TerminalSize& size);
