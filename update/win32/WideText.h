#pragma once

#include <string>

// Windows takes text as UTF-16 and this program holds it as UTF-8: the two conversions every
// call into the system goes through.

// Empty for text that is no valid UTF-8 (and for empty text).
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const wchar_t* wide, size_t length);
std::string Utf8FromWide(const std::wstring& wide);
// The same with every '\' turned into '/', for paths the system gives.
std::string Utf8PathFromWide(const std::wstring& wide);
