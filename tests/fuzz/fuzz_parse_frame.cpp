// ParseFrame must never read outside the delivered frame, whatever its length byte says.
#include <cstddef>
#include <cstdint>

#include "uecp/FrameCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto frame = ParseFrame(data, static_cast<int32_t>(size));
    if (frame->size > 0 && frame->bytes == nullptr) {
        __builtin_trap();
    }
    if (!frame->crcOk && size >= 8 && size <= 524 && frame->size > 255) {
        __builtin_trap();
    }
    return 0;
}
