#include "update/IniSettingsText.h"

#include <cstdint>
#include <vector>

namespace {

// One line of the text as QSettings reads it: a line break after a backslash continues it, a
// ';' outside quotes begins a comment that runs to its end.
struct IniLine {
    enum class Kind { Other, Section, Value };
    size_t begin = 0;
    size_t end = 0;      // one past its line break, if any
    size_t breakAt = 0;  // where its line break begins
    Kind kind = Kind::Other;
    std::string name;     // the section's name, or the key
    std::string raw;      // a value's text after the '=', still escaped
    std::string section;  // the section a value belongs to
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first])) {
        ++first;
    }
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

std::vector<IniLine> ParseLines(const std::string& text) {
    std::vector<IniLine> lines;
    std::string section;
    size_t at = 0;
    while (at < text.size()) {
        IniLine line;
        line.begin = at;
        std::string content;
        bool inQuotes = false;
        bool comment = false;
        while (at < text.size() && text[at] != '\n' && text[at] != '\r') {
            const char c = text[at];
            if (c == '\\' && at + 1 < text.size()) {
                // The escape and what it escapes, a line break included, stay for the value.
                size_t next = at + 2;
                if (text[at + 1] == '\r' && next < text.size() && text[next] == '\n') {
                    ++next;
                }
                if (!comment) {
                    content.append(text, at, next - at);
                }
                at = next;
                continue;
            }
            if (c == '"') {
                inQuotes = !inQuotes;
            } else if (c == ';' && !inQuotes) {
                comment = true;
            }
            if (!comment) {
                content += c;
            }
            ++at;
        }
        line.breakAt = at;
        if (at < text.size() && text[at] == '\r') {
            ++at;
        }
        if (at < text.size() && text[at] == '\n') {
            ++at;
        }
        line.end = at;

        const std::string trimmed = Trimmed(content);
        if (!trimmed.empty() && trimmed[0] == '[') {
            const size_t close = trimmed.find(']');
            line.kind = IniLine::Kind::Section;
            line.name = Trimmed(
                trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            section = line.name;
        } else if (const size_t equals = content.find('='); equals != std::string::npos) {
            line.kind = IniLine::Kind::Value;
            line.name = Trimmed(content.substr(0, equals));
            line.raw = content.substr(equals + 1);
            line.section = section;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code >= 0xD800 && code <= 0xDFFF) {
        code = 0xFFFD;  // half a surrogate pair means nothing on its own
    }
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

char NamedEscape(char c) {
    switch (c) {
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        case '"':
        case '?':
        case '\'':
        case '\\':
            return c;
        default:
            return '\0';
    }
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

}  // namespace

std::optional<std::string> IniUnescapedString(const std::string& raw) {
    std::string result;
    bool inQuotes = false;
    bool quoted = false;
    // Trailing blanks of unquoted text are dropped, but not those an escape made.
    size_t keep = 0;
    size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < raw.size() && IsBlank(raw[at])) {
            ++at;
        }
    };
    skipBlanks();
    while (at < raw.size()) {
        const char c = raw[at];
        if (c == '\\') {
            if (++at >= raw.size()) {
                break;
            }
            const char escaped = raw[at++];
            if (const char named = NamedEscape(escaped); named != '\0') {
                result += named;
            } else if (escaped == 'x' && at < raw.size() && HexValue(raw[at]) >= 0) {
                uint32_t code = 0;
                while (at < raw.size() && HexValue(raw[at]) >= 0) {
                    code = ((code << 4) | static_cast<uint32_t>(HexValue(raw[at++]))) & 0xFFFF;
                }
                AppendUtf8(result, code);
            } else if (escaped >= '0' && escaped <= '7') {
                uint32_t code = static_cast<uint32_t>(escaped - '0');
                while (at < raw.size() && raw[at] >= '0' && raw[at] <= '7') {
                    code = ((code << 3) | static_cast<uint32_t>(raw[at++] - '0')) & 0xFFFF;
                }
                AppendUtf8(result, code);
            } else if (escaped == '\r' || escaped == '\n') {
                // A continued line: the break itself is no part of the value.
                if (at < raw.size() && (raw[at] == '\n' || raw[at] == '\r') && raw[at] != escaped) {
                    ++at;
                }
            }
            // Any other escaped character is dropped, as QSettings drops it.
            keep = result.size();
            continue;
        }
        if (c == '"') {
            ++at;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                keep = result.size();
            }
            continue;
        }
        if (c == ',' && !inQuotes) {
            return std::nullopt;  // a list of texts, not one
        }
        result += c;
        if (inQuotes) {
            keep = result.size();
        }
        ++at;
    }
    if (!quoted) {
        while (result.size() > keep && IsBlank(result.back())) {
            result.pop_back();
        }
    }
    // What QSettings makes of a text that begins with '@'.
    if (StartsWith(result, "@")) {
        if (result == "@Invalid()") {
            return std::nullopt;
        }
        if (EndsWith(result, ")")) {
            for (const char* type : {"@ByteArray(", "@String("}) {
                const std::string prefix = type;
                if (StartsWith(result, prefix)) {
                    return result.substr(prefix.size(), result.size() - prefix.size() - 1);
                }
            }
            for (const char* type : {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("}) {
                if (StartsWith(result, type)) {
                    return std::nullopt;  // a stored Qt type: no text of ours
                }
            }
        }
        if (StartsWith(result, "@@")) {
            return result.substr(1);
        }
    }
    return result;
}

std::string IniEscapedString(const std::string& text) {
    // QSettings keeps a text with a NUL character as a variant of its own.
    const std::string value = text.find('\0') != std::string::npos ? "@String(" + text + ")" : text;
    std::string result = value == text && !value.empty() && value[0] == '@' ? "@" : "";
    bool needsQuotes = false;
    bool escapeNextIfHexDigit = false;
    static const char kHex[] = "0123456789abcdef";
    const auto hexEscape = [&](unsigned char c) {
        result += "\\x";
        if (c >= 16) {
            result += kHex[c >> 4];
        }
        result += kHex[c & 0xF];
    };
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (c == ';' || c == ',' || c == '=') {
            needsQuotes = true;
        }
        // "\x1" followed by "a" would be read as "\x1a": such a digit is escaped as well.
        if (escapeNextIfHexDigit && HexValue(c) >= 0) {
            hexEscape(u);
            continue;
        }
        escapeNextIfHexDigit = false;
        switch (c) {
            case '\0':
                result += "\\0";
                escapeNextIfHexDigit = true;
                break;
            case '\a':
                result += "\\a";
                break;
            case '\b':
                result += "\\b";
                break;
            case '\f':
                result += "\\f";
                break;
            case '\n':
                result += "\\n";
                break;
            case '\r':
                result += "\\r";
                break;
            case '\t':
                result += "\\t";
                break;
            case '\v':
                result += "\\v";
                break;
            case '"':
            case '\\':
                result += '\\';
                result += c;
                break;
            default:
                if (u <= 0x1F) {
                    hexEscape(u);
                    escapeNextIfHexDigit = true;
                } else {
                    result += c;
                }
        }
    }
    if (needsQuotes || (!result.empty() && (result.front() == ' ' || result.back() == ' '))) {
        result = '"' + result + '"';
    }
    return result;
}

std::optional<std::string> IniTextValue(const std::string& text, const std::string& section,
                                        const std::string& key) {
    const std::vector<IniLine> lines = ParseLines(text);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->kind == IniLine::Kind::Value && line->section == section && line->name == key) {
            return IniUnescapedString(line->raw);
        }
    }
    return std::nullopt;
}

std::string WithIniTextValue(const std::string& text, const std::string& section,
                             const std::string& key, const std::string& value) {
    const std::string entry = key + "=" + IniEscapedString(value);
    const std::vector<IniLine> lines = ParseLines(text);
    const IniLine* last = nullptr;  // the key itself, else the section's last value or header
    bool found = false;
    for (const IniLine& line : lines) {
        if (line.kind == IniLine::Kind::Value && line.section == section) {
            if (line.name == key) {
                last = &line;
                found = true;
            } else if (!found) {
                last = &line;
            }
        } else if (line.kind == IniLine::Kind::Section && line.name == section && !found) {
            last = &line;
        }
    }
    if (found) {
        const std::string lineBreak = text.substr(last->breakAt, last->end - last->breakAt);
        return text.substr(0, last->begin) + entry + (lineBreak.empty() ? "\n" : lineBreak) +
               text.substr(last->end);
    }
    if (last != nullptr) {
        const std::string before = text.substr(0, last->end);
        const std::string lineBreak = last->end == last->breakAt ? "\n" : "";
        return before + lineBreak + entry + "\n" + text.substr(last->end);
    }
    std::string result = text;
    if (!result.empty()) {
        if (result.back() != '\n') {
            result += '\n';
        }
        result += '\n';  // a blank line between sections, as QSettings writes them
    }
    return result + "[" + section + "]\n" + entry + "\n";
}
