#pragma once

#include <cstdint>

// Terminal columns of one printable code point: 2 for wide characters (CJK, most emoji), 0 for
// combining marks and other zero-width characters, 1 otherwise (also for what the C library
// does not know, which a terminal still shows as one cell).
int CharacterWidth(uint32_t codePoint);
