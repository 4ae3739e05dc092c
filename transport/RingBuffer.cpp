#include "transport/RingBuffer.h"

#include <algorithm>
#include <cstring>

int32_t RingBuffer::SetCapacity(int32_t n) {
    writePos = 0;
    readPos = 0;
    count = 0;
    storage.reset();
    capacity = std::max(n, 0);
    if (capacity > 0) {
        storage = std::make_unique<ByteBuffer>(capacity);
    }
    return capacity;
}

bool RingBuffer::Write(const uint8_t* data, int32_t n) {
    if (data == nullptr || n < 0 || n > capacity - count) {
        return false;
    }
    int32_t left = n;
    while (left > 0) {
        const int32_t piece = std::min(left, capacity - writePos);
        std::memcpy(storage->bytes.get() + writePos, data + (n - left), static_cast<size_t>(piece));
        writePos = (writePos + piece) % capacity;
        count += piece;
        left -= piece;
    }
    return true;
}

bool RingBuffer::Peek(uint8_t* destination, int32_t n) const {
    if (destination == nullptr || n < 0 || n > count) {
        return false;
    }
    int32_t position = readPos;
    int32_t left = n;
    while (left > 0) {
        const int32_t piece = std::min(left, capacity - position);
        std::memcpy(destination + (n - left), storage->bytes.get() + position,
                    static_cast<size_t>(piece));
        position = (position + piece) % capacity;
        left -= piece;
    }
    return true;
}

bool RingBuffer::Read(uint8_t* destination, int32_t n) {
    if (n < 0 || n > count) {
        return false;
    }
    if (n == 0) {
        return true;
    }
    if (destination != nullptr && !Peek(destination, n)) {
        return false;
    }
    readPos = (readPos + n) % capacity;
    count -= n;
    return true;
}

void RingBuffer::Clear() {
    writePos = 0;
    readPos = 0;
    count = 0;
}
