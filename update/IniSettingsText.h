#pragma once

#include <optional>
#include <string>

// The INI text of the settings file that Qt 6's QSettings keeps on Linux, read and changed the
// way QSettings does, so that a value written here is what the Qt wizard reads and the other
// way round. Sections are "[Name]" lines, values "Key=value" lines; a string value is escaped
// as QSettings escapes it (quoted when it holds ',', ';' or '=' or begins or ends in a space,
// backslash escapes, control characters as \x.., other text as UTF-8, a leading '@' doubled).

// The value of `key` in `section`, unescaped; empty when absent, and also when the value is no
// single text (a list, a stored variant, @Invalid()). The last of repeated keys counts, as in
// QSettings.
std::optional<std::string> IniTextValue(const std::string& text, const std::string& section,
                                        const std::string& key);

// `text` with `key` in `section` set to `value`. Everything else (other keys and sections,
// comments, order) stays as it was; a new key goes at the end of its section, a new section at
// the end of the text.
std::string WithIniTextValue(const std::string& text, const std::string& section,
                             const std::string& key, const std::string& value);

// A string as QSettings writes it after "Key=", and back.
std::string IniEscapedString(const std::string& value);
std::optional<std::string> IniUnescapedString(const std::string& raw);
