#pragma once

#include <atomic>
#include <cstdint>

#include "protocol/FrameCodec.h"
#include "transport/FrameReader.h"

// Cuts a raw byte stream into frames of at most 524 bytes from 0xFE to 0xFF and pushes each to
// its reader. Fed by one thread at a time; the reader may be swapped from another thread.
class AutoFrameBuffer {
public:
    explicit AutoFrameBuffer(FrameReader* frameReader) : reader(frameReader) {}
    virtual ~AutoFrameBuffer() = default;
    AutoFrameBuffer(const AutoFrameBuffer&) = delete;
    AutoFrameBuffer& operator=(const AutoFrameBuffer&) = delete;

    void Put(const uint8_t* data, int32_t n);
    void Reset();
    // A partial frame stays and goes to the new reader when it completes.
    void SetReader(FrameReader* newReader) { reader.store(newReader); }
    virtual void Deliver();

    uint8_t frame[kMaxStuffedFrame] = {};
    int32_t length = 0;
    bool inFrame = false;
    std::atomic<FrameReader*> reader;

private:
    void Discard();
};
