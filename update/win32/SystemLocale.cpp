#include "update/SystemLocale.h"

#include <windows.h>

#include "update/win32/WideText.h"

std::string PlatformLocaleName() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    const int length = LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                                        LOCALE_NAME_MAX_LENGTH, 0);
    return length > 1 ? Utf8FromWide(name, static_cast<size_t>(length - 1)) : std::string();
}
