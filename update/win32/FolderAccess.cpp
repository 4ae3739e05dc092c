#include "update/FolderAccess.h"

#include <shlobj.h>
#include <windows.h>

#include <string>

#include "transport/SystemErrorText.h"
#include "update/win32/WideText.h"

std::string UserStateFolder() {
    wchar_t* folder = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &folder) != S_OK) {
        CoTaskMemFree(folder);
        return "";
    }
    const std::string path = Utf8PathFromWide(folder);
    CoTaskMemFree(folder);
    return path.empty() ? path : path + "/";
}

// Windows has no access() that knows the folder's access list, so a file is made and dropped:
// what the log itself will do.
bool FolderIsWritable(const std::string& folder) {
    return FolderWriteProblem(folder).empty();
}

std::string FolderWriteProblem(const std::string& folder) {
    std::wstring probe = WideFromUtf8(folder.empty() ? "." : folder);
    if (probe.empty()) {
        return SystemErrorText(ERROR_NO_UNICODE_TRANSLATION);
    }
    if (probe.back() != L'/' && probe.back() != L'\\') {
        probe += L'\\';
    }
    probe += L".tarvelin-write-check-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount64());
    const HANDLE file = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return SystemErrorText(static_cast<int>(GetLastError()));
    }
    CloseHandle(file);
    return "";
}
