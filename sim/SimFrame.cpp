#include "sim/SimFrame.h"

#include <algorithm>

#include "uecp/FrameCodec.h"

std::optional<SimRequest> ParseRequest(const uint8_t* frame, int32_t length) {
    if (frame == nullptr || length < kFrameOverhead || length > kMaxStuffedFrame) {
        return std::nullopt;
    }
    uint8_t plain[kMaxStuffedFrame];
    int32_t m = 0;
    Unstuff(frame, length, plain, m);
    if (m < kFrameOverhead) {
        return std::nullopt;
    }
    const auto parsed = ParseFrame(frame, length);
    SimRequest request;
    request.address = static_cast<uint16_t>((plain[1] << 8) | plain[2]);
    request.sequence = plain[3];
    request.crcOk = parsed->crcOk;
    // A length byte that claims more than the frame holds is not a request we can act on.
    const int32_t available = m - kFrameOverhead;
    request.field.assign(parsed->bytes.get(),
                         parsed->bytes.get() + std::min(parsed->size, available));
    if (parsed->size > available) {
        request.crcOk = false;
    }
    return request;
}

Bytes AnswerWriter::Frame(uint16_t address, uint8_t sequence, const Bytes& field, bool badCrc) {
    UECPMessage message;
    const size_t n = std::min<size_t>(field.size(), 255);
    std::copy(field.begin(), field.begin() + static_cast<long>(n), message.data);
    message.length = static_cast<int32_t>(n);
    message.address = address;
    uint8_t out[kMaxStuffedFrame];
    int32_t length = 0;
    BuildFrame(message, sequence, out, length);
    Bytes frame(out, out + length);
    if (badCrc) {
        // Rebuild with a flipped CRC so stuffing stays valid and only the check fails.
        uint8_t plain[kMaxStuffedFrame];
        int32_t m = 0;
        Unstuff(out, length, plain, m);
        plain[m - 2] ^= 0x5A;
        if (((plain[m - 3] << 8) | plain[m - 2]) == kCrcBypass) {
            plain[m - 2] ^= 0x01;
        }
        Stuff(plain, m, out, length);
        frame.assign(out, out + length);
    }
    return frame;
}

void AnswerWriter::Send(std::vector<Emission>& out, SimTime due, const SimRequest& request,
                        const Bytes& field, bool badCrc) {
    if (noise_) {
        out.push_back({due, Noise(), false});
    }
    out.push_back({due, Frame(request.address, request.sequence, field, badCrc), false});
}

void AnswerWriter::Ack(std::vector<Emission>& out, SimTime due, const SimRequest& request,
                       uint8_t code, bool badCrc) {
    Send(out, due, request, Bytes{0x18, code}, badCrc);
}

Bytes AnswerWriter::Noise() {
    auto next = [this]() {
        seed_ ^= seed_ << 13;
        seed_ ^= seed_ >> 17;
        seed_ ^= seed_ << 5;
        return seed_;
    };
    Bytes garbage(3 + next() % 6);
    for (uint8_t& b : garbage) {
        b = static_cast<uint8_t>(next() % 0xFE);  // never a start byte
    }
    if (next() % 2 == 0) {
        garbage.push_back(kFrameStart);  // a torn frame: the next start byte discards it
        garbage.push_back(static_cast<uint8_t>(next() % 0xFE));
    }
    return garbage;
}
