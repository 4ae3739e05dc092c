#include "transport/SystemErrorText.h"

#include <windows.h>

#include "transport/win32/WideText.h"

std::string SystemErrorText(int error) {
    if (error == 0) {
        return "";
    }
    // Winsock's codes are in the system's message table too. The user's language, as Windows
    // chooses it.
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text;
    if (length > 0 && message != nullptr) {
        text = Narrow(std::wstring(message, length));
    }
    LocalFree(message);
    // Messages end in a period and CR LF; the texts around them bring their own period.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "error " + std::to_string(error);
    }
    return text;
}

std::string ResolverErrorText(int error) {
    // getaddrinfo reports Winsock codes here (WSAHOST_NOT_FOUND, ...).
    return SystemErrorText(error);
}
