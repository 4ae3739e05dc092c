#pragma once

#include <cstddef>
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

    // Closes a previous file first. False when the file (UTF-8 path) cannot be opened; never
    // waits for a writer.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return handle_ != kNoHandle; }

    // Fills `dest` (room for kFirmwareBlockSize bytes) with the next block. A block shorter
    // than 64 bytes only comes at the end of the file.
    ReadResult ReadBlock(uint8_t* dest, int32_t& count);

    // The length at Open, in bytes.
    uint64_t Size() const { return size_; }
    // False for a directory, FIFO, pipe or device named like a firmware file.
    bool IsRegular() const { return regular_; }
    // The system's reason why the last Open failed; empty after one that succeeded.
    const std::string& OpenError() const { return openError_; }

protected:
    enum class ReadStatus {
        Read,         // `got` bytes, 0 at the end of the file
        Interrupted,  // nothing read; try again
        Failed,
    };
    // The one place that reads from the file, so a test can make it fail.
    virtual ReadStatus ReadSome(uint8_t* dest, size_t count, size_t& got);

private:
    // A descriptor, or a Windows HANDLE, as a number: this header needs no system header.
    static constexpr intptr_t kNoHandle = -1;

    intptr_t handle_ = kNoHandle;
    uint64_t size_ = 0;
    bool regular_ = false;
    bool failed_ = false;
    std::string openError_;
};
