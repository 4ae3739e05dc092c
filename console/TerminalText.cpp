#include "console/TerminalText.h"

#include <cstdint>
#include <cstdio>

#include "console/Utf8Sequence.h"

namespace {

std::string Hex(const char* format, unsigned value) {
    char text[12];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The length of the well-formed UTF-8 sequence at `at` (1 to 4), 0 when there is none, and its
// code point.
size_t SequenceAt(std::string_view text, size_t at, uint32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (codePoint < minimum || (codePoint >= 0xD800 && codePoint <= 0xDFFF) ||
        codePoint > 0x10FFFF) {
        return 0;
    }
    return length;
}

// Embeddings, overrides and isolates reorder the text around them on the screen, so a version
// string could show as something it is not.
bool IsBidiControl(uint32_t codePoint) {
    return (codePoint >= 0x202A && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069);
}

}  // namespace

std::string EscapeForTerminal(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F) {
                out += Hex("\\x%02X", byte);
            } else {
                out += static_cast<char>(byte);
            }
            ++at;
            continue;
        }
        uint32_t codePoint = 0;
        const size_t length = SequenceAt(text, at, codePoint);
        if (length == 0) {
            out += Hex("\\x%02X", byte);
            ++at;
        } else if (codePoint <= 0x9F || IsBidiControl(codePoint)) {
            out += Hex("\\u%04X", codePoint);  // C1 controls, e.g. U+009B (CSI)
            at += length;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

// The widths are measured with the same reading of UTF-8 as the escaping, so that what is shown
// and what is counted agree.
size_t Utf8SequenceAt(std::string_view text, size_t at, uint32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    return SequenceAt(text, at, codePoint);
}
