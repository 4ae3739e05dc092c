#include "console/DisplayWidth.h"

#include <cstdint>

#include "console/CharacterWidth.h"
#include "console/Utf8Sequence.h"

namespace {

constexpr std::string_view kEllipsis = "\u2026";

// One character at `at`: its length in bytes and its columns.
struct Character {
    size_t length;
    size_t width;
};

Character CharacterAt(std::string_view text, size_t at) {
    uint32_t codePoint = 0;
    const size_t length = Utf8SequenceAt(text, at, codePoint);
    if (length == 0) {
        return {1, 1};
    }
    return {length, static_cast<size_t>(CharacterWidth(codePoint))};
}

// The bytes of the longest start of `text` within `width` columns, with the zero-width
// characters that follow the last one taken.
size_t PrefixWithin(std::string_view text, size_t width, size_t& used) {
    size_t at = 0;
    used = 0;
    while (at < text.size()) {
        const Character c = CharacterAt(text, at);
        if (used + c.width > width) {
            break;
        }
        used += c.width;
        at += c.length;
    }
    return at;
}

}  // namespace

size_t DisplayWidth(std::string_view text) {
    size_t width = 0;
    for (size_t at = 0; at < text.size();) {
        const Character c = CharacterAt(text, at);
        width += c.width;
        at += c.length;
    }
    return width;
}

std::string TruncateToWidth(std::string_view text, size_t width) {
    size_t used = 0;
    if (PrefixWithin(text, width, used) == text.size()) {
        return std::string(text);
    }
    if (width == 0) {
        return {};
    }
    const size_t keep = PrefixWithin(text, width - 1, used);
    return std::string(text.substr(0, keep)) + std::string(kEllipsis);
}

std::string CutToWidth(std::string_view text, size_t width) {
    size_t used = 0;
    return std::string(text.substr(0, PrefixWithin(text, width, used)));
}

std::string PadToWidth(std::string_view text, size_t width) {
    std::string shown = TruncateToWidth(text, width);
    const size_t used = DisplayWidth(shown);
    return shown + std::string(width > used ? width - used : 0, ' ');
}

std::vector<std::string> WrapToWidth(std::string_view text, size_t width) {
    std::vector<std::string> lines;
    std::string line;
    size_t lineWidth = 0;
    size_t at = 0;
    const auto flush = [&] {
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        lines.push_back(line);
        line.clear();
        lineWidth = 0;
    };
    while (at < text.size()) {
        const size_t spaceEnd = text.find_first_not_of(' ', at);
        if (spaceEnd == std::string_view::npos) {
            break;
        }
        const size_t wordEnd = std::min(text.find(' ', spaceEnd), text.size());
        std::string_view word = text.substr(spaceEnd, wordEnd - spaceEnd);
        at = wordEnd;
        size_t wordWidth = DisplayWidth(word);
        const size_t gap = line.empty() ? 0 : 1;
        if (lineWidth + gap + wordWidth <= width) {
            line += std::string(gap, ' ') + std::string(word);
            lineWidth += gap + wordWidth;
            continue;
        }
        if (!line.empty()) {
            flush();
        }
        // A word wider than a whole line goes on in pieces.
        while (wordWidth > width && width > 0) {
            size_t used = 0;
            size_t cut = PrefixWithin(word, width, used);
            if (cut == 0) {
                cut = CharacterAt(word, 0).length;  // a wide character on a one-column line
            }
            line = std::string(word.substr(0, cut));
            flush();
            word.remove_prefix(cut);
            wordWidth = DisplayWidth(word);
        }
        line = std::string(word);
        lineWidth = wordWidth;
    }
    if (!line.empty() || lines.empty()) {
        flush();
    }
    return lines;
}
