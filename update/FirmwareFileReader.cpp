#include "update/FirmwareFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "update/FirmwareBlocks.h"

FirmwareFileReader::~FirmwareFileReader() {
    Close();
}

bool FirmwareFileReader::Open(const std::string& path) {
    Close();
    // O_NONBLOCK: a FIFO named like a firmware file must not hang the flash thread; regular
    // files ignore it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    regular_ = S_ISREG(info.st_mode);
    size_ = regular_ ? static_cast<uint64_t>(info.st_size) : 0;
    failed_ = false;
    return true;
}

void FirmwareFileReader::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    size_ = 0;
    regular_ = false;
    failed_ = false;
}

FirmwareFileReader::ReadResult FirmwareFileReader::ReadBlock(uint8_t* dest, int32_t& count) {
    count = 0;
    if (fd_ < 0 || failed_) {
        return ReadResult::Error;
    }
    // Keep reading until the block is full or the file ends, so a short read in the middle of
    // the file (a signal, a network file system) cannot pass for the end of the image.
    while (count < kFirmwareBlockSize) {
        const ssize_t got = ReadSome(fd_, dest + count, kFirmwareBlockSize - count);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            // Sticky: after a failed read the position in the file is unknown.
            failed_ = true;
            count = 0;
            return ReadResult::Error;
        }
        if (got == 0) {
            break;
        }
        count += static_cast<int32_t>(got);
    }
    return count == 0 ? ReadResult::EndOfFile : ReadResult::Block;
}

ssize_t FirmwareFileReader::ReadSome(int fd, uint8_t* dest, size_t count) {
    return ::read(fd, dest, count);
}
