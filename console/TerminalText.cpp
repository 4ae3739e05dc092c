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
        const size_t length = Utf8SequenceAt(text, at, codePoint);
        if (length == 0) {
            out += Hex("\\x%02X", byte);
            ++at;
        } else if (codePoint <= 0x9F) {
            out += Hex("\\u%04X", codePoint);  // C1 controls, e.g. U+009B (CSI)
            at += length;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}
