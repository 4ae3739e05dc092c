#pragma once

#include <cstdint>

class AutoFrameBuffer;

// Consumer of complete frames (start byte to stop byte, still stuffed). The bytes are valid
// only during the call.
class FrameReader {
public:
    virtual ~FrameReader() = default;
    virtual void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer* source) = 0;
    virtual void OnFrameDiscarded() {}
};
