#include "update/Settings.h"

#include <windows.h>

#include <string>

#include "transport/SystemErrorText.h"
#include "update/win32/WideText.h"

namespace {

std::wstring SubKey(const std::string& application) {
    return L"Software\\" + WideFromUtf8(kSettingsOrganization) + L"\\" + WideFromUtf8(application) +
           L"\\" + WideFromUtf8(kSettingsGroup);
}

bool Failed(LONG result, std::string& error) {
    if (result == ERROR_SUCCESS) {
        return false;
    }
    error = SystemErrorText(static_cast<int>(result));
    return true;
}

}  // namespace

std::string Settings::Location() const {
    return "HKEY_CURRENT_USER\\Software\\" + std::string(kSettingsOrganization) + "\\" +
           application_ + "\\" + kSettingsGroup;
}

int32_t Settings::ReadInt(const std::string& name, int32_t fallback) const {
    DWORD value = 0;
    DWORD size = sizeof(value);
    // A value of another type (a string) is not taken for a number.
    if (RegGetValueW(HKEY_CURRENT_USER, SubKey(application_).c_str(), WideFromUtf8(name).c_str(),
                     RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
        return fallback;
    }
    return static_cast<int32_t>(value);
}

std::string Settings::ReadString(const std::string& name, const std::string& fallback) const {
    const std::wstring key = SubKey(application_);
    const std::wstring value = WideFromUtf8(name);
    // The value may change between asking for its size and reading it: ask again then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        LONG result = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ,
                                   nullptr, nullptr, &size);
        if (result != ERROR_SUCCESS) {
            return fallback;
        }
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        result = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr,
                              text.data(), &size);
        if (result == ERROR_MORE_DATA) {
            continue;
        }
        if (result != ERROR_SUCCESS) {
            return fallback;
        }
        text.resize(wcsnlen(text.c_str(), text.size()));
        return Utf8FromWide(text);
    }
    return fallback;
}

bool Settings::WriteInt(const std::string& name, int32_t value, std::string& error) {
    const DWORD data = static_cast<DWORD>(value);
    return !Failed(RegSetKeyValueW(HKEY_CURRENT_USER, SubKey(application_).c_str(),
                                   WideFromUtf8(name).c_str(), REG_DWORD, &data, sizeof(data)),
                   error);
}

bool Settings::WriteString(const std::string& name, const std::string& value, std::string& error) {
    const std::wstring text = WideFromUtf8(value);
    if (text.empty() && !value.empty()) {
        error = SystemErrorText(ERROR_NO_UNICODE_TRANSLATION);
        return false;
    }
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return !Failed(RegSetKeyValueW(HKEY_CURRENT_USER, SubKey(application_).c_str(),
                                   WideFromUtf8(name).c_str(), REG_SZ, text.c_str(), size),
                   error);
}
