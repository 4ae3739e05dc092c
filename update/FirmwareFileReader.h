#pragma once

#include <sys/types.h>
#include <cstdint>
#include <string>

// Reads a firmware image 64 bytes at a time; the file is never loaded whole.
class FirmwareFileReader {
public:
    enum class ReadResult {
        Block,      // count is 1..64
        EndOfFile,  // nothing left; count is 0
        Error,      // the file could not be read: fail it, never flash what came before as whole
    };

    FirmwareFileReader() = default;
    virtual ~FirmwareFileReader();
    FirmwareFileReader(const FirmwareFileReader&) = delete;
    FirmwareFileReader& operator=(const FirmwareFileReader&) = delete;

    // Closes a previous file first. False when the file cannot be opened.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Fills `dest` (room for kFirmwareBlockSize bytes) with the next block. A block shorter
    // than 64 bytes only comes at the end of the file.
    ReadResult ReadBlock(uint8_t* dest, int32_t& count);

    // The length at Open, in bytes.
    uint64_t Size() const { return size_; }
    // False for a directory, FIFO or device named like a firmware file.
    bool IsRegular() const { return regular_; }

protected:
    // The one place that reads from the descriptor, so a test can make it fail.
    virtual ssize_t ReadSome(int fd, uint8_t* dest, size_t count);

private:
    int fd_ = -1;
    uint64_t size_ = 0;
    bool regular_ = false;
    bool failed_ = false;
};
