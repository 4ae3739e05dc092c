#include "uecp/FrameCodec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

uint16_t Crc16(const uint8_t* bytes, int32_t count) {
    uint16_t crc = 0xFFFF;
    for (int32_t i = 0; i < count; ++i) {
        crc = static_cast<uint16_t>((crc >> 8) | (crc << 8));
        crc ^= bytes[i];
        crc ^= static_cast<uint16_t>((crc & 0xFF) >> 4);
        crc ^= static_cast<uint16_t>(crc << 12);
        crc ^= static_cast<uint16_t>((crc & 0xFF) << 5);
    }
    return static_cast<uint16_t>(~crc);
}

bool CheckCrc(const uint8_t* bytes, int32_t count, uint16_t received) {
    return received == kCrcBypass || Crc16(bytes, count) == received;
}

void Stuff(const uint8_t* source, int32_t length, uint8_t* dest, int32_t& destLength) {
    destLength = 0;
    if (length <= 0) {
        return;
    }
    dest[destLength++] = source[0];
    for (int32_t i = 1; i < length - 1; ++i) {
        const uint8_t b = source[i];
        if (b >= kStuffEscape) {
            dest[destLength++] = kStuffEscape;
            dest[destLength++] = static_cast<uint8_t>(b - kStuffEscape);
        } else {
            dest[destLength++] = b;
        }
    }
    if (length > 1) {
        dest[destLength++] = source[length - 1];
    }
}

void Unstuff(const uint8_t* source, int32_t length, uint8_t* dest, int32_t& destLength) {
    destLength = 0;
    if (length <= 0) {
        return;
    }
    dest[destLength++] = source[0];
    int32_t i = 1;
    while (i < length - 1) {
        const uint8_t b = source[i];
        if (b == kStuffEscape && source[i + 1] <= 0x02) {
            dest[destLength++] = static_cast<uint8_t>(kStuffEscape + source[i + 1]);
            i += 2;
        } else {
            dest[destLength++] = b;
            i += 1;
        }
    }
    if (length > 1) {
        dest[destLength++] = source[length - 1];
    }
}

void BuildFrame(const UECPMessage& message, uint8_t sequenceCounter, uint8_t* dest,
                int32_t& destLength) {
    const int32_t n = std::clamp(message.length, 0, 255);
    uint8_t work[255 + kFrameOverhead];
    work[0] = kFrameStart;
    work[1] = static_cast<uint8_t>(message.address >> 8);
    work[2] = static_cast<uint8_t>(message.address & 0xFF);
    work[3] = sequenceCounter;
    work[4] = static_cast<uint8_t>(n);
    std::memcpy(work + 5, message.data, static_cast<size_t>(n));
    const uint16_t crc = Crc16(work + 1, n + 4);
    work[5 + n] = static_cast<uint8_t>(crc >> 8);
    work[6 + n] = static_cast<uint8_t>(crc & 0xFF);
    work[7 + n] = kFrameStop;
    Stuff(work, n + kFrameOverhead, dest, destLength);
}

bool UnstuffDelivered(const uint8_t* frame, int32_t length, uint8_t* work, int32_t& m) {
    m = 0;
    if (frame == nullptr || length <= 0 || length > kMaxStuffedFrame) {
        return false;
    }
    Unstuff(frame, length, work, m);
    return true;
}

std::unique_ptr<FrameData> FrameFromUnstuffed(const uint8_t* work, int32_t m, int32_t fieldLength) {
    if (m < kFrameOverhead) {
        return std::make_unique<FrameData>();  // no complete header and CRC: crcOk false
    }
    auto parsed = std::make_unique<FrameData>(fieldLength);
    const int32_t available = std::min(fieldLength, m - 5);
    if (available > 0) {
        std::memcpy(parsed->bytes.get(), work + 5, static_cast<size_t>(available));
    }
    const uint16_t received = static_cast<uint16_t>((work[m - 3] << 8) | work[m - 2]);
    parsed->crcOk = CheckCrc(work + 1, m - 4, received);
    return parsed;
}

std::unique_ptr<FrameData> ParseFrame(const uint8_t* frame, int32_t length) {
    uint8_t work[kMaxStuffedFrame];
    int32_t m = 0;
    if (!UnstuffDelivered(frame, length, work, m) || m < kFrameOverhead) {
        return std::make_unique<FrameData>();
    }
    return FrameFromUnstuffed(work, m, work[4]);
}

std::string HexDump(const uint8_t* bytes, int32_t count, char separator, bool upperCase) {
    static constexpr char kLower[] = "0123456789abcdef";
    static constexpr char kUpper[] = "0123456789ABCDEF";
    const char* digits = upperCase ? kUpper : kLower;
    std::string text;
    if (count <= 0 || bytes == nullptr) {
        return text;
    }
    text.reserve(static_cast<size_t>(count) * 3);
    for (int32_t i = 0; i < count; ++i) {
        if (i > 0) {
            text.push_back(separator);
        }
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    return text;
}
