#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "uecp/ByteBuffer.h"
#include "uecp/ResultCodes.h"

// A request whose message field carries several message elements.
struct UECPMultiMessage {
    uint8_t data[256] = {};
    int32_t length = 0;
    uint16_t address = 0;
    int32_t ackMode = -1;
    std::vector<bool> elements;  // per element: expects an answer frame
    int32_t timeoutMs = -1;
    std::vector<std::pair<uint8_t, uint8_t>> answerSpecs;  // (MEC, sub-code) per answer
    std::vector<UECP_IO_Error> results;                    // per element, from the acknowledgement
    std::vector<std::unique_ptr<FrameData>> answers;       // matched answers, in element order
};
