#include "sim/EscapedText.h"

#include <cstdio>

namespace {

std::string Hex(const char* format, unsigned value) {
    char text[12];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The length of the well-formed UTF-8 sequence that starts at `at` (2 to 4), else 0.
size_t SequenceAt(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and values past U+10FFFF.
    const unsigned char second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string EscapeControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x20 || byte == 0x7F) {
            out += Hex("\\x%02X", byte);
            ++at;
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++at;
        } else if (const size_t length = SequenceAt(text, at); length == 0) {
            out += Hex("\\x%02X", byte);
            ++at;
        } else if (byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F) {
            out += Hex("\\u%04X", static_cast<unsigned char>(text[at + 1]));  // C1, e.g. CSI
            at += length;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}
