#include "update/win32/WideText.h"

#include <windows.h>

#include <algorithm>

std::wstring WideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8FromWide(const wchar_t* wide, size_t length) {
    if (length == 0) {
        return {};
    }
    const int size = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, size, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::string Utf8FromWide(const std::wstring& wide) {
    return Utf8FromWide(wide.data(), wide.size());
}

std::string Utf8PathFromWide(const std::wstring& wide) {
    std::string path = Utf8FromWide(wide);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}
