#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

// Shared vocabulary of the device model and the servers around it.
using SimTime = std::chrono::microseconds;  // since an arbitrary origin
using Bytes = std::vector<uint8_t>;

enum class LinkKind { Tcp, Serial };

struct LinkInfo {
    LinkKind kind = LinkKind::Tcp;
    uint32_t baud = 0;  // serial only: the line speed the client has set
};

// Bytes the device puts on the line at `due`; `close` ends a TCP connection after them.
struct Emission {
    SimTime due{0};
    Bytes bytes;
    bool close = false;
};

// One received frame as the device sees it: header kept, since answers echo it.
struct SimRequest {
    uint16_t address = 0;
    uint8_t sequence = 0;
    Bytes field;
    bool crcOk = false;
};

// Unstuffs and splits a frame from 0xFE to 0xFF; nullopt when it cannot hold a header and CRC.
std::optional<SimRequest> ParseRequest(const uint8_t* frame, int32_t length);

// Frames the device sends, optionally preceded by line noise (bytes without a start byte that
// may end in a torn frame start, so a reader has to resynchronise but never sees a bogus frame).
class AnswerWriter {
public:
    explicit AnswerWriter(bool noise) : noise_(noise) {}

    static Bytes Frame(uint16_t address, uint8_t sequence, const Bytes& field, bool badCrc = false);
    void Send(std::vector<Emission>& out, SimTime due, const SimRequest& request,
              const Bytes& field, bool badCrc = false);
    void Ack(std::vector<Emission>& out, SimTime due, const SimRequest& request, uint8_t code,
             bool badCrc = false);

private:
    Bytes Noise();

    bool noise_;
    uint32_t seed_ = 0x2545F491;
};
