// The assembler delivers only frames that start with 0xFE, end with 0xFF and fit 524 bytes,
// and feeding the stream in pieces gives the same frames as feeding it whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "transport/AutoFrameBuffer.h"

namespace {

struct Recorder : FrameReader {
    std::vector<std::string> events;
    void OnFrame(const uint8_t* frame, int32_t length, AutoFrameBuffer*) override {
        if (length < 2 || length > kMaxStuffedFrame || frame[0] != 0xFE ||
            frame[length - 1] != 0xFF) {
            __builtin_trap();
        }
        events.emplace_back(reinterpret_cast<const char*>(frame), static_cast<size_t>(length));
    }
    void OnFrameDiscarded() override { events.emplace_back("<discarded>"); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Recorder whole;
    AutoFrameBuffer wholeBuffer(&whole);
    wholeBuffer.Put(data, static_cast<int32_t>(size));

    Recorder pieces;
    AutoFrameBuffer pieceBuffer(&pieces);
    size_t at = 0;
    size_t step = size > 0 ? (data[0] % 7) + 1 : 1;
    while (at < size) {
        const size_t n = step < size - at ? step : size - at;
        pieceBuffer.Put(data + at, static_cast<int32_t>(n));
        at += n;
        step = step % 7 + 1;
    }
    if (whole.events != pieces.events) {
        __builtin_trap();
    }
    return 0;
}
