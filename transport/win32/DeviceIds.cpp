#include "transport/win32/DeviceIds.h"

#include <cwctype>

#include "transport/win32/WideText.h"

namespace {

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    return text;
}

// The four hex digits after `key` in `id`, lower case; empty when they are not there.
std::string HexAfter(const std::wstring& id, const std::wstring& key) {
    const size_t at = id.find(key);
    if (at == std::wstring::npos || id.size() < at + key.size() + 4) {
        return {};
    }
    std::string digits;
    for (size_t i = at + key.size(); i < at + key.size() + 4; ++i) {
        if (!std::iswxdigit(id[i])) {
            return {};
        }
        digits += static_cast<char>(std::towlower(id[i]));
    }
    return digits;
}

}  // namespace

int ComNumber(const std::wstring& name) {
    const std::wstring upper = Upper(name);
    if (upper.size() < 4 || upper.size() > 8 || upper.compare(0, 3, L"COM") != 0) {
        return 0;
    }
    int number = 0;
    for (size_t i = 3; i < upper.size(); ++i) {
        if (upper[i] < L'0' || upper[i] > L'9') {
            return 0;
        }
        number = number * 10 + (upper[i] - L'0');
    }
    return number;
}

UsbIds UsbIdsOf(const std::wstring& id) {
    const std::wstring upper = Upper(id);
    UsbIds ids{HexAfter(upper, L"VID_"), HexAfter(upper, L"PID_")};
    if (ids.vendor.empty() || ids.product.empty()) {
        return {};
    }
    return ids;
}

std::string UsbSerialNumber(const std::wstring& instanceId) {
    const std::wstring upper = Upper(instanceId);
    const size_t last = instanceId.find_last_of(L'\\');
    if (upper.compare(0, 4, L"USB\\") != 0 || upper.find(L"&MI_") != std::wstring::npos ||
        last == std::wstring::npos || last + 1 >= instanceId.size()) {
        return {};
    }
    const std::wstring serial = instanceId.substr(last + 1);
    if (serial.find(L'&') != std::wstring::npos) {
        return {};
    }
    return Narrow(serial);
}
