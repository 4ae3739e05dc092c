// Unstuff never grows its input, and stuffing its output gives a frame that unstuffs back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "uecp/FrameCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(kMaxStuffedFrame)) {
        return 0;
    }
    uint8_t plain[kMaxStuffedFrame];
    int32_t plainLength = 0;
    Unstuff(data, static_cast<int32_t>(size), plain, plainLength);
    if (plainLength > static_cast<int32_t>(size)) {
        __builtin_trap();
    }
    if (plainLength > 263) {
        return 0;  // longer than any frame we stuff
    }
    uint8_t stuffed[kMaxStuffedFrame];
    int32_t stuffedLength = 0;
    Stuff(plain, plainLength, stuffed, stuffedLength);
    uint8_t again[kMaxStuffedFrame];
    int32_t againLength = 0;
    Unstuff(stuffed, stuffedLength, again, againLength);
    if (againLength != plainLength || std::memcmp(again, plain, plainLength) != 0) {
        __builtin_trap();
    }
    return 0;
}
