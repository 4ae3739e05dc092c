#pragma once

#include <chrono>

// Standard input as the command line's questions read it: a terminal (a console on Windows)
// that a person answers at, or not.
bool StandardInputIsTerminal();

// Waits up to `bound` until a whole line (or the end of input) can be read from standard input
// without blocking; whether one can.
bool WaitStandardInputLine(std::chrono::milliseconds bound);
