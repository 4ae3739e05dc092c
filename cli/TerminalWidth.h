#pragma once

#include <string>

// How wide a line may be that is redrawn in place. A line that wraps can no longer be redrawn
// from its start: each redraw would leave a stale row behind it.

// The columns of the terminal behind `fd`: its window size, else $COLUMNS, else 80.
int TerminalColumns(int fd);

// How many columns `text` takes: one per character of its UTF-8 (the texts shown here hold
// no double-width characters).
size_t ColumnsOf(const std::string& text);

// `text` cut to at most `columns` characters, never inside a UTF-8 sequence.
std::string CutToColumns(const std::string& text, size_t columns);
