// Windows has no wcwidth, and its character types count a precomposed letter (ü) among the
// marks that combine: the widths come from a table made from the Linux build's C library.
#include "console/CharacterWidth.h"

#include <algorithm>
#include <iterator>

#include "console/win32/CharacterWidthRanges.h"

namespace {

template <size_t N>
bool In(const CodePointRange (&ranges)[N], uint32_t codePoint) {
    const CodePointRange* found =
        std::upper_bound(std::begin(ranges), std::end(ranges), codePoint,
                         [](uint32_t c, const CodePointRange& range) { return c < range.first; });
    return found != std::begin(ranges) && codePoint <= std::prev(found)->last;
}

}  // namespace

int CharacterWidth(uint32_t codePoint) {
    if (codePoint < 0x7F) {
        return codePoint >= 0x20 ? 1 : 0;
    }
    if (In(kZeroWidth, codePoint)) {
        return 0;
    }
    return In(kDoubleWidth, codePoint) ? 2 : 1;
}
