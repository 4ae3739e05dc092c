#include "update/FirmwareFileReader.h"

#include <windows.h>

#include "transport/SystemErrorText.h"
#include "update/win32/WideText.h"

bool FirmwareFileReader::Open(const std::string& path) {
    Close();
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) {
        openError_ = SystemErrorText(ERROR_INVALID_NAME);
        return false;
    }
    // Shared for reading only: nobody rewrites the image while it is flashed. Backup
    // semantics let a folder named like a firmware file open, so it is refused as not
    // regular, as elsewhere.
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        openError_ = SystemErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    // A pipe or a device would block the flash thread in ReadFile: only a disk file is read.
    BY_HANDLE_FILE_INFORMATION info{};
    regular_ = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    size_ = regular_ ? (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow : 0;
    return true;
}

void FirmwareFileReader::Close() {
    if (handle_ != kNoHandle) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = kNoHandle;
    }
    size_ = 0;
    regular_ = false;
    failed_ = false;
    openError_.clear();
}

FirmwareFileReader::ReadStatus FirmwareFileReader::ReadSome(uint8_t* dest, size_t count,
                                                            size_t& got) {
    got = 0;
    // Never read from anything but a disk file: a pipe's ReadFile waits for its writer.
    if (!regular_) {
        return ReadStatus::Failed;
    }
    DWORD read = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), dest, static_cast<DWORD>(count), &read,
                  nullptr)) {
        return ReadStatus::Failed;
    }
    got = read;
    return ReadStatus::Read;
}
