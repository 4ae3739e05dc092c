#include "update/FirmwareBlocks.h"

#include "update/ProcedureTexts.h"

uint64_t BlockCount(uint64_t size) {
    return size / kFirmwareBlockSize + (size % kFirmwareBlockSize != 0 ? 1 : 0);
}

uint64_t ProgressRange(uint64_t size) {
    return size / kFirmwareBlockSize + 1;
}

SegmentOffset BlockAddress(uint16_t base, uint64_t block) {
    const uint64_t distance = block * kFirmwareBlockSize;
    SegmentOffset address;
    address.offset = static_cast<uint16_t>(distance & 0xFFFF);
    // One segment step of 0x1000 per full 64 KiB, kept in 16 bits like the device's register.
    address.segment = static_cast<uint16_t>(base + 0x1000 * (distance >> 16));
    return address;
}

bool FitsSegmentSpace(uint16_t base, uint64_t size) {
    const uint64_t start = static_cast<uint64_t>(base) * 16;
    return size <= kLastLinearAddress + 1 - start;
}

uint64_t ImageSpaceEnd(uint16_t base) {
    // Each image ends where the next one begins, so an oversized image cannot overwrite it.
    if (base == kCoderFirmwareSegment) {
        return static_cast<uint64_t>(kDspSamplesSegment) * 16;
    }
    if (base == kDspSamplesSegment) {
        return static_cast<uint64_t>(kDspFirmwareSegment) * 16;
    }
    return kLastLinearAddress + 1;
}

std::string SegmentSpaceError(uint16_t base, uint64_t size) {
    if (size == 0) {
        // Erasing for an image that writes nothing would leave the coder without firmware.
        return "Empty file: a firmware image of 0 bytes cannot be flashed";
    }
    const uint64_t start = static_cast<uint64_t>(base) * 16;
    const uint64_t end = ImageSpaceEnd(base);
    if (end <= kLastLinearAddress && start < end && size > end - start) {
        return FormatString(
            "File too large: %d bytes from segment %04X would pass address %05X, where the "
            "next image begins (room for %d bytes)",
            {static_cast<int64_t>(size), static_cast<int64_t>(base), static_cast<int64_t>(end - 1),
             static_cast<int64_t>(end - start)});
    }
    if (FitsSegmentSpace(base, size)) {
        return {};
    }
    const uint64_t room = kLastLinearAddress + 1 - start;
    return FormatString(
        "File too large: %d bytes from segment %04X would pass address FFFFF "
        "(room for %d bytes)",
        {static_cast<int64_t>(size), static_cast<int64_t>(base), static_cast<int64_t>(room)});
}
