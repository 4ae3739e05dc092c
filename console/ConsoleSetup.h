#pragma once

// Readies the terminal for this program's output, once, at the start of main: on Windows the
// console is switched to UTF-8 and to the terminal sequences of other systems (both restored
// when the program ends); elsewhere there is nothing to do. Whether terminal sequences (a line
// redrawn in place, colours) may be written: false only for a console that does not take them,
// which then gets plain lines.
bool PrepareConsole();
