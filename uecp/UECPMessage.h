#pragma once

#include <cstdint>
#include <memory>

#include "uecp/ByteBuffer.h"

// One request and the answer that matched it. Lives on the caller's stack for one exchange.
struct UECPMessage {
    UECPMessage() = default;
    virtual ~UECPMessage() = default;
    UECPMessage(const UECPMessage&) = delete;
    UECPMessage& operator=(const UECPMessage&) = delete;
    UECPMessage(UECPMessage&&) = default;
    UECPMessage& operator=(UECPMessage&&) = default;

    uint8_t data[256] = {};
    int32_t length = 0;  // bytes of `data` to send, at most 255
    uint16_t address = 0;
    int32_t ackMode = -1;  // -1 or 1: wait for the acknowledgement
    bool expectAnswer = false;
    int32_t timeoutMs = -1;  // -1: the connection's responseTimeout
    uint8_t answerMec = 0;   // 0 accepts any
    uint8_t answerSubCode = 0;
    std::unique_ptr<FrameData> answer;

    bool AwaitsAck() const { return ackMode == -1 || ackMode == 1; }
};
