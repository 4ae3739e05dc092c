#include "uecp/ByteBuffer.h"

#include <algorithm>
#include <cstring>

ByteBuffer::ByteBuffer(int32_t initialSize, const uint8_t* source) {
    Resize(initialSize);
    if (source != nullptr && size > 0) {
        std::memcpy(bytes.get(), source, static_cast<size_t>(size));
    }
}

void ByteBuffer::Resize(int32_t newSize) {
    newSize = std::max(newSize, 0);
    if (newSize == size) {
        return;
    }
    if (newSize == 0) {
        bytes.reset();
        size = 0;
        return;
    }
    auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(newSize));  // zero-filled
    if (bytes) {
        std::memcpy(block.get(), bytes.get(), static_cast<size_t>(std::min(size, newSize)));
    }
    bytes = std::move(block);
    size = newSize;
}

bool ByteBuffer::Assign(const uint8_t* source, int32_t count) {
    if (count > size) {
        Resize(count);
    }
    if (source != nullptr && count > 0) {
        std::memcpy(bytes.get(), source, static_cast<size_t>(count));
    }
    return true;
}
