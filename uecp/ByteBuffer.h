#pragma once

#include <cstdint>
#include <memory>

// An owned block of exactly `size` bytes, with no spare capacity: every change of size
// reallocates, zero-fills and keeps the leading bytes.
class ByteBuffer {
public:
    explicit ByteBuffer(int32_t size = 0, const uint8_t* source = nullptr);
    virtual ~ByteBuffer() = default;

    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    void Resize(int32_t newSize);
    // Grows to `count` when needed, never shrinks; bytes past `count` keep their values.
    bool Assign(const uint8_t* source, int32_t count);

    int32_t size = 0;
    std::unique_ptr<uint8_t[]> bytes;
};

// The message field of one received frame and its CRC verdict.
class FrameData : public ByteBuffer {
public:
    explicit FrameData(int32_t size = 0, const uint8_t* source = nullptr)
        : ByteBuffer(size, source) {}

    bool crcOk = false;
};
