#pragma once

// Frames as a device or the program puts them on the wire, for tests that play either side.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "uecp/FrameCodec.h"

namespace testing_support {

using Bytes = std::vector<uint8_t>;

// The stuffed frame carrying `field`.
inline Bytes WireFrame(const Bytes& field, uint8_t counter = 0, uint16_t address = 0) {
    UECPMessage message;
    std::copy(field.begin(), field.end(), message.data);
    message.length = static_cast<int32_t>(field.size());
    message.address = address;
    uint8_t frame[kMaxStuffedFrame];
    int32_t length = 0;
    BuildFrame(message, counter, frame, length);
    return Bytes(frame, frame + length);
}

// A coder request field: 2D 03 'R' 'S' code, then the arguments.
inline Bytes CoderField(uint8_t code, const Bytes& args = {}) {
    Bytes field = {0x2D, 0x03, 'R', 'S', code};
    field.insert(field.end(), args.begin(), args.end());
    return field;
}

}  // namespace testing_support
