#include "update/FirmwareFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "transport/SystemErrorText.h"

bool FirmwareFileReader::Open(const std::string& path) {
    Close();
    // O_NONBLOCK: a FIFO named like a firmware file must not hang the flash thread; regular
    // files ignore it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        openError_ = SystemErrorText(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        openError_ = SystemErrorText(errno);
        ::close(fd);
        return false;
    }
    handle_ = fd;
    regular_ = S_ISREG(info.st_mode);
    size_ = regular_ ? static_cast<uint64_t>(info.st_size) : 0;
    return true;
}

void FirmwareFileReader::Close() {
    if (handle_ != kNoHandle) {
        ::close(static_cast<int>(handle_));
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
    const ssize_t read = ::read(static_cast<int>(handle_), dest, count);
    if (read < 0) {
        return errno == EINTR ? ReadStatus::Interrupted : ReadStatus::Failed;
    }
    got = static_cast<size_t>(read);
    return ReadStatus::Read;
}
