#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "transport/FrameReader.h"
#include "uecp/FrameCodec.h"

// Cuts a raw byte stream into frames of at most 524 bytes from 0xFE to 0xFF and pushes each to
// its reader. Fed by one thread at a time; the reader may be swapped from another thread, and
// once SetReader has returned the old reader is no longer being called, so it may go.
class AutoFrameBuffer {
public:
    explicit AutoFrameBuffer(FrameReader* frameReader) : reader(frameReader) {}
    virtual ~AutoFrameBuffer() = default;
    AutoFrameBuffer(const AutoFrameBuffer&) = delete;
    AutoFrameBuffer& operator=(const AutoFrameBuffer&) = delete;

    void Put(const uint8_t* data, int32_t n);
    void Reset();
    // A partial frame stays and goes to the new reader when it completes.
    // Waits for a delivery in progress: a handler that lent its connection away (HandOver) is
    // often destroyed right after, while the I/O thread could still be inside its OnFrame.
    void SetReader(FrameReader* newReader);
    virtual void Deliver();

    uint8_t frame[kMaxStuffedFrame] = {};
    int32_t length = 0;
    bool inFrame = false;
    std::atomic<FrameReader*> reader;

private:
    void Discard();

    // Held while the reader is called and while it is swapped; recursive, so a reader may swap
    // itself out from inside its own OnFrame.
    std::recursive_mutex delivering_;
};
