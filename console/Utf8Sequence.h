#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The length of the well-formed UTF-8 sequence at `at` (1 to 4; 1 for ASCII), 0 when there is
// none: a stray continuation byte, an overlong form, a surrogate, a value past U+10FFFF or a
// sequence cut short. `codePoint` is set when the length is not 0. It lives beside the escaping
// (console/TerminalText.cpp), which reads text the same way.
size_t Utf8SequenceAt(std::string_view text, size_t at, uint32_t& codePoint);
