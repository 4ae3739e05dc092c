#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>

// The numbered texts the procedure shows, in both languages the wizard speaks.
enum class Language { English, German };

// German when the locale (LC_ALL, else LC_MESSAGES, else LANG; empty counts as unset; without
// any of them PlatformLocaleName, the Windows display language) starts with "de", otherwise
// English. The variables are read afresh on every call.
Language SystemLanguage();

// "de" or "en".
const char* LanguageCode(Language language);

// The text with that number; empty for a number that has none.
std::string LoadText(int number, Language language);

// One value for a placeholder: a number for %d, %X and %x, a text for %s.
using TextArg = std::variant<int64_t, std::string>;

// printf-like, but bounded and type-checked: understands %d, %s, %X, %x with an optional '0'
// flag and width, and %%. A placeholder without a matching value is kept as written, so a
// wrong call shows up in the text instead of reading past the arguments.
std::string FormatString(const std::string& format, std::initializer_list<TextArg> args);

// LoadText followed by FormatString.
std::string FormatText(int number, Language language, std::initializer_list<TextArg> args);

// Helpers for the shapes the texts use.
std::string FormatTextInt(int number, Language language, int64_t value);                // %d
std::string FormatTextString(int number, Language language, const std::string& value);  // %s
std::string FormatTextHostPort(int number, Language language, const std::string& host,
                               int64_t port);  // %s:%d
