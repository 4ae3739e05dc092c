#include "update/LogFileStream.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "update/win32/WideText.h"

std::FILE* OpenLogFileStream(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        return nullptr;
    }
    // FILE_SHARE_DELETE: the next identification renames this log to keep it before the old
    // stream is closed. The C runtime's own open would refuse that rename.
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    // Binary: the CR LF line ends are written by the log, not added by the C runtime.
    std::FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
}
