#include "update/SystemErrorText.h"

#include <windows.h>

#include <string>

#include "update/win32/WideText.h"

std::string SystemErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return "error " + std::to_string(error);
    }
    std::wstring message(text, length);
    LocalFree(text);
    // The system ends its messages in a period and a line break; the texts around them have
    // their own.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return Utf8FromWide(message);
}

std::string HostLookupErrorText(int error) {
    return SystemErrorText(error);
}
