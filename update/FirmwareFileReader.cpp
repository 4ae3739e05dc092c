#include "update/FirmwareFileReader.h"

#include "update/FirmwareBlocks.h"

// Opening, closing and the single read are the platform's (posix/, win32/).

FirmwareFileReader::~FirmwareFileReader() {
    Close();
}

FirmwareFileReader::ReadResult FirmwareFileReader::ReadBlock(uint8_t* dest, int32_t& count) {
    count = 0;
    if (handle_ == kNoHandle || failed_) {
        return ReadResult::Error;
    }
    // Keep reading until the block is full or the file ends, so a short read in the middle of
    // the file (a signal, a network file system) cannot pass for the end of the image.
    while (count < kFirmwareBlockSize) {
        size_t got = 0;
        const ReadStatus status =
            ReadSome(dest + count, static_cast<size_t>(kFirmwareBlockSize - count), got);
        if (status == ReadStatus::Interrupted) {
            continue;
        }
        if (status == ReadStatus::Failed) {
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
