#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Widths in terminal columns, for text already made safe by EscapeForTerminal: a wide
// character (北) takes two columns, a combining mark none, so "Zürich" is six columns whether
// its ü is one code point or u and U+0308. A byte that is not UTF-8 counts one column.
size_t DisplayWidth(std::string_view text);

// The longest start of `text` within `width` columns, cut between characters (a combining mark
// stays with its letter); when something was cut, its last column is "…".
std::string TruncateToWidth(std::string_view text, size_t width);

// The longest start of `text` within `width` columns, cut between characters, with no mark
// where it was cut (a line redrawn in place, whose end is only ever a count).
std::string CutToWidth(std::string_view text, size_t width);

// TruncateToWidth, then spaces up to exactly `width` columns.
std::string PadToWidth(std::string_view text, size_t width);

// `text` as lines of at most `width` columns, broken at spaces; a word longer than a line is
// cut between characters. Never empty: an empty text is one empty line.
std::vector<std::string> WrapToWidth(std::string_view text, size_t width);
