#include "update/ExecutablePath.h"

#include <windows.h>

#include "update/win32/WideText.h"

std::string ExecutablePath() {
    // The path may be longer than MAX_PATH; the call says so only by filling the buffer.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return Utf8PathFromWide(buffer);
        }
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}
