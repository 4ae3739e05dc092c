// The C library knows the width of each character, but wcwidth reads the thread's LC_CTYPE,
// which stays "C" in these programs (nothing calls setlocale): a UTF-8 locale of our own is
// put in place for the call, and the caller's put back.
#include "console/CharacterWidth.h"

#include <locale.h>
#include <clocale>
#include <cwchar>
#include <initializer_list>

namespace {

locale_t Utf8Locale() {
    static const locale_t utf8 = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            if (const locale_t found = newlocale(LC_CTYPE_MASK, name, locale_t{0})) {
                return found;
            }
        }
        return locale_t{0};
    }();
    return utf8;
}

}  // namespace

int CharacterWidth(uint32_t codePoint) {
    if (codePoint < 0x7F) {
        return codePoint >= 0x20 ? 1 : 0;
    }
    const locale_t utf8 = Utf8Locale();
    if (utf8 == locale_t{0}) {
        return 1;
    }
    const locale_t previous = uselocale(utf8);
    const int width = wcwidth(static_cast<wchar_t>(codePoint));
    uselocale(previous);
    return width < 0 ? 1 : width;
}
