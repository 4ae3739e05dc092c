#include "update/FilePattern.h"

#include <cstddef>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Bytes of the character at `at`: a UTF-8 sequence, or a single byte that is none.
size_t CharacterLength(const std::string& text, size_t at) {
    size_t end = at + 1;
    if (static_cast<unsigned char>(text[at]) >= 0xC0) {
        while (end < text.size() && end - at < 4 && IsContinuation(text[end])) {
            ++end;
        }
    }
    return end - at;
}

// One set "[...]" starting at `at` (the '['): where it ends (one past its ']') and whether `c`
// is in it. `end` is 0 when the '[' opens no set and stands for itself.
struct SetMatch {
    size_t end = 0;
    bool matches = false;
};

SetMatch MatchSet(const std::string& pattern, size_t at, char c) {
    size_t i = at + 1;
    bool negated = false;
    if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) {
        negated = true;
        ++i;
    }
    bool found = false;
    bool first = true;
    while (i < pattern.size()) {
        // A ']' right after the opening is one of the set, not its end.
        if (pattern[i] == ']' && !first) {
            SetMatch result;
            result.end = i + 1;
            result.matches = found != negated;
            return result;
        }
        first = false;
        char low = pattern[i];
        if (low == '\\' && i + 1 < pattern.size()) {
            low = pattern[++i];
        }
        ++i;
        char high = low;
        if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
            high = pattern[i + 1];
            if (high == '\\' && i + 2 < pattern.size()) {
                high = pattern[i + 2];
                ++i;
            }
            i += 2;
        }
        const auto within = [low, high](char x) {
            const auto u = static_cast<unsigned char>(x);
            return u >= static_cast<unsigned char>(low) && u <= static_cast<unsigned char>(high);
        };
        if (within(c) || within(Lower(c)) || within(Upper(c))) {
            found = true;
        }
    }
    return {};
}

}  // namespace

bool MatchesFilePattern(const std::string& pattern, const std::string& name) {
    size_t p = 0;
    size_t n = 0;
    // Where to go on after the last '*' when what follows it stops matching.
    size_t starPattern = std::string::npos;
    size_t starName = 0;
    while (n < name.size()) {
        // Only a '.' written in the pattern takes the name's leading '.'.
        const bool leadingDot = n == 0 && name[0] == '.';
        bool advanced = false;
        if (p < pattern.size()) {
            const char token = pattern[p];
            if (token == '*' && !leadingDot) {
                starPattern = ++p;
                starName = n;
                continue;
            }
            if (token == '?' && !leadingDot) {
                n += CharacterLength(name, n);
                ++p;
                advanced = true;
            } else if (token == '[' && !leadingDot) {
                const SetMatch set = MatchSet(pattern, p, name[n]);
                if (set.end != 0 && set.matches) {
                    ++n;
                    p = set.end;
                    advanced = true;
                } else if (set.end == 0 && name[n] == '[') {
                    ++n;
                    ++p;
                    advanced = true;
                }
            } else if (token != '*' && token != '?' && token != '[') {
                size_t literal = p;
                if (token == '\\' && p + 1 < pattern.size()) {
                    ++literal;
                }
                if (Lower(pattern[literal]) == Lower(name[n])) {
                    ++n;
                    p = literal + 1;
                    advanced = true;
                }
            }
        }
        if (advanced) {
            continue;
        }
        if (starPattern == std::string::npos) {
            return false;
        }
        // Let the last '*' take one more character and try again from there.
        starName += CharacterLength(name, starName);
        n = starName;
        p = starPattern;
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}
