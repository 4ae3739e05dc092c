#include "console/EndNow.h"

#include <windows.h>

void WriteNow(std::FILE* stream, const std::string& bytes) {
    const HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

// ExitProcess would run the DLLs' detach code, which can wait for a lock the blocked main
// thread holds; _exit on POSIX runs nothing either.
void EndProcessNow(int status) {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    ExitProcess(static_cast<UINT>(status));
}
