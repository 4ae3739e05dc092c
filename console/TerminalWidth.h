#pragma once

#include <cstdio>

// The columns of the terminal `out` writes to; when it is none (a pipe, a file) or does not
// say, $COLUMNS, else 80.
int TerminalWidth(std::FILE* out);

// Its lines, the same way: $LINES, else 24.
int TerminalHeight(std::FILE* out);
