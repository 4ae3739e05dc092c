#include "update/OsVersion.h"

#include <windows.h>

// GetVersionEx reports what the program's manifest claims to support (6.2 on Windows 10 for a
// program without one); ntdll's RtlGetVersion reports the system as it is.
bool OsVersion(uint32_t& major, uint32_t& minor) {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return false;
    }
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtlGetVersion == nullptr) {
        return false;
    }
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion(&info) != 0) {
        return false;
    }
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    return true;
}
