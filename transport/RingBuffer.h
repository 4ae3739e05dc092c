#pragma once

#include <cstdint>
#include <memory>

#include "transport/MyCriticalSection.h"
#include "uecp/ByteBuffer.h"

// Fixed-capacity byte ring. Writes are all or nothing.
class RingBuffer {
public:
    explicit RingBuffer(int32_t initialCapacity = 0) { SetCapacity(initialCapacity); }
    virtual ~RingBuffer() = default;
    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    // Empties the ring and replaces its storage; returns the new capacity.
    int32_t SetCapacity(int32_t n);
    bool Write(const uint8_t* data, int32_t n);
    bool Peek(uint8_t* destination, int32_t n) const;
    // Without a destination the bytes are discarded.
    bool Read(uint8_t* destination, int32_t n);
    void Clear();

    int32_t writePos = 0;
    int32_t readPos = 0;
    int32_t capacity = 0;
    int32_t count = 0;
    std::unique_ptr<ByteBuffer> storage;
};

// A ring with its own lock; users hold the lock around every access.
class RingBufferCS : public RingBuffer, public MyCriticalSection {
public:
    explicit RingBufferCS(int32_t initialCapacity = 0) : RingBuffer(initialCapacity) {}
};
