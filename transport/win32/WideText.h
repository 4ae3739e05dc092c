#pragma once

#include <string>

// Windows' wide-character calls take and give UTF-16; the program keeps UTF-8 everywhere.
// Invalid sequences become U+FFFD.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
