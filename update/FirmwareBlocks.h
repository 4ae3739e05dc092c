#pragma once

#include <cstdint>
#include <string>

// How a firmware image is cut into 64-byte blocks addressed by 16-bit segment and offset.

constexpr uint16_t kCoderFirmwareSegment = 0x8000;  // *.img
constexpr uint16_t kDspSamplesSegment = 0xCDF0;     // *.smp
constexpr uint16_t kDspFirmwareSegment = 0xD800;    // *.dsp
constexpr int32_t kFirmwareBlockSize = 64;
// Segment:offset reaches 20 bits; nothing may be written past this linear address.
constexpr uint64_t kLastLinearAddress = 0xFFFFF;

struct SegmentOffset {
    uint16_t segment;
    uint16_t offset;
};

// Blocks of a file of `size` bytes: the last one holds the remaining 1..63 bytes.
uint64_t BlockCount(uint64_t size);

// The progress bar's maximum for a file: one step per full block, plus one.
uint64_t ProgressRange(uint64_t size);

// Address of block k: segment * 16 + offset == base * 16 + 64k, offset below 0x10000.
SegmentOffset BlockAddress(uint16_t base, uint64_t block);

// True when every byte of the file lies at or below kLastLinearAddress.
bool FitsSegmentSpace(uint16_t base, uint64_t size);

// The linear address where the space of the image at `base` ends: the base of the next image
// (coder firmware 0xCDF00, DSP samples 0xD8000), else one past kLastLinearAddress.
uint64_t ImageSpaceEnd(uint16_t base);

// Empty when the file can be flashed at `base`; otherwise a sentence for the log and the user
// saying why it is refused: it is empty, or reaches into the next image or past FFFFF. Such a
// file must be refused before anything is sent to the coder.
std::string SegmentSpaceError(uint16_t base, uint64_t size);
