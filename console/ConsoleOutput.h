#pragma once

#include <cstdio>

// What standard output and standard error go to, for the lines drawn in place.

// A terminal (on Windows a console) that takes the cursor and erase sequences of the progress
// line and the countdowns.
bool IsTerminal(std::FILE* stream);

// A terminal that a whole table can be redrawn on in place, unless $TERM says it is dumb (on
// POSIX an unset TERM says so as well; a Windows console sets none).
bool RedrawsInPlace(std::FILE* stream);
