#include "sim/CoderDevice.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint8_t kMec = 0x2D;
constexpr uint8_t kAckUnknown = 3;
constexpr uint8_t kAckCrc = 1;
constexpr uint8_t kAckOutOfRange = 6;
constexpr uint8_t kAckFieldLength = 8;

bool IsCoderRequest(const Bytes& f) {
    return f.size() >= 5 && f[0] == kMec && f[2] == 'R' && f[3] == 'S';
}

// `2D len 52 53 code payload`, len counting the bytes after itself; the main-port answer keeps
// the length 5 of its two-byte value and does not count the byte it skips.
Bytes FirmwareAnswer(uint8_t code, const Bytes& payload) {
    Bytes field(5 + payload.size());
    field[0] = kMec;
    field[1] = static_cast<uint8_t>(code == 0xCE ? 5 : 3 + payload.size());
    field[2] = 'R';
    field[3] = 'S';
    field[4] = code;
    std::copy(payload.begin(), payload.end(), field.begin() + 5);
    return field;
}

Bytes Padded(const std::string& text, size_t size) {
    Bytes bytes(text.begin(), text.end());
    bytes.resize(size, 0);
    return bytes;
}

}  // namespace

CoderDevice::CoderDevice(const SimOptions& options)
    : options_(options),
      writer_(options.noise),
      state_(options.state == SimOptions::StartState::Bios ? State::Bios : State::Firmware),
      version_(options.version),
      off_(options.state == SimOptions::StartState::Off) {}

SimTime CoderDevice::Scaled(int32_t ms) const {
    return SimTime(static_cast<int64_t>(std::llround(ms * 1000.0 * options_.timeScale)));
}

// Requests are served one after the other: an answer waits for the work before it.
SimTime CoderDevice::AnswerTime(SimTime now, int32_t workMs) {
    const SimTime start = std::max(now, busyUntil_);
    busyUntil_ = start + Scaled(workMs);
    return busyUntil_ + SimTime(int64_t{options_.slowMs} * 1000);
}

CoderDevice::State CoderDevice::StateAt(SimTime now) {
    if (state_ == State::RebootingToBios &&
        now >= rebootAt_ + Scaled(options_.biosRebootSerialMs)) {
        state_ = State::Bios;
    } else if (state_ == State::RebootingToFirmware &&
               now >= rebootAt_ + Scaled(options_.firmwareRebootSerialMs)) {
        state_ = options_.stayInBios ? State::Bios : State::Firmware;
    }
    return state_;
}

void CoderDevice::Reboot(SimTime at, State target) {
    state_ = target;
    rebootAt_ = at;
    busyUntil_ = at;
    const int32_t tcpMs =
        target == State::RebootingToBios ? options_.biosRebootTcpMs : options_.firmwareRebootTcpMs;
    tcpBackAt_ = at + Scaled(tcpMs);
    // A restart loses the erase state: every region must be erased again before writing.
    flash_.Reset();
    lastWrite_.reset();
}

bool CoderDevice::Hears(const LinkInfo& link, SimTime now) {
    const State state = StateAt(now);
    if (off_ || silent_ || state == State::RebootingToBios || state == State::RebootingToFirmware) {
        return false;
    }
    if (link.kind == LinkKind::Tcp) {
        return now >= tcpBackAt_;
    }
    return link.baud == (state == State::Bios ? kBiosBaud : options_.baud);
}

void CoderDevice::Handle(const SimRequest& request, const LinkInfo& link, SimTime now,
                         std::vector<Emission>& out) {
    if (!Hears(link, now)) {
        return;
    }
    if (!request.crcOk) {
        writer_.Ack(out, AnswerTime(now), request, kAckCrc);
        return;
    }
    if (state_ == State::Bios) {
        HandleBios(request, link, now, out);
    } else {
        HandleFirmware(request, now, out);
    }
}

void CoderDevice::HandleFirmware(const SimRequest& request, SimTime now,
                                 std::vector<Emission>& out) {
    const Bytes& f = request.field;
    if (!IsCoderRequest(f)) {
        writer_.Ack(out, AnswerTime(now), request, kAckUnknown);
        return;
    }
    const uint8_t code = f[4];
    auto answer = [&](const Bytes& payload) {
        const SimTime due = AnswerTime(now);
        writer_.Ack(out, due, request, 0);
        writer_.Send(out, due, request, FirmwareAnswer(code, payload));
    };
    switch (code) {
        case 0x7E:
            answer(Bytes(version_.begin(), version_.end()));
            break;
        case 0x87:
            // An older firmware does not know this query and keeps quiet.
            if (options_.biosVersion) {
                answer(Bytes(options_.biosVersion->begin(), options_.biosVersion->end()));
            }
            break;
        case 0xCE:
            if (options_.mainPort) {
                answer(Bytes{0x00, static_cast<uint8_t>(*options_.mainPort >> 8),
                             static_cast<uint8_t>(*options_.mainPort & 0xFF)});
            }
            break;
        case 0x7B:
            answer(Padded("T12 Basic", 10));
            break;
        case 0x7F:
            answer(Padded("RDS Coder", 10));
            break;
        case 0xB1:
            answer(Bytes{0x00, 0x01});
            break;
        case 0xB2:
            writer_.Ack(out, AnswerTime(now), request, f.size() == 19 ? 0 : kAckFieldLength);
            break;
        case 0xEF:
            // No acknowledgement: the coder restarts into its BIOS at once.
            Reboot(std::max(now, busyUntil_), State::RebootingToBios);
            break;
        default:
            writer_.Ack(out, AnswerTime(now), request, kAckUnknown);
            break;
    }
}

void CoderDevice::HandleBios(const SimRequest& request, const LinkInfo& link, SimTime now,
                             std::vector<Emission>& out) {
    const Bytes& f = request.field;
    if (!IsCoderRequest(f)) {
        writer_.Ack(out, AnswerTime(now), request, kAckUnknown);
        return;
    }
    switch (f[4]) {
        case 0x7E: {
            // The BIOS answers its version query without an acknowledgement, whatever the
            // request asked for.
            const std::string& v = options_.biosVersion ? *options_.biosVersion : "2.10";
            writer_.Send(out, AnswerTime(now), request,
                         Bytes{0x7E, 0x05, static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]),
                               static_cast<uint8_t>(v[2]), static_cast<uint8_t>(v[3]), 0x00});
            break;
        }
        case 0x51: {
            if (f.size() != 6) {
                writer_.Ack(out, AnswerTime(now), request, kAckFieldLength);
            } else if (f[5] >= FlashMemory::kRegionCount) {
                writer_.Ack(out, AnswerTime(now), request, kAckOutOfRange);
            } else if (const auto fault = std::find_if(
                           options_.eraseNacks.begin(), options_.eraseNacks.end(),
                           [&f](const SimOptions::EraseFault& e) { return e.region == f[5]; });
                       fault != options_.eraseNacks.end()) {
                writer_.Ack(out, AnswerTime(now), request, fault->code);
            } else {
                flash_.Erase(f[5]);
                writer_.Ack(out, AnswerTime(now, options_.eraseMs), request, 0);
            }
            break;
        }
        case 0x50:
            WriteBlock(request, link, now, out);
            break;
        case 0x53: {
            const SimTime due = AnswerTime(now);
            if (!options_.noFinishAck) {
                writer_.Ack(out, due, request, 0);
            }
            ++finishCount_;
            if (auto marked = flash_.FindVersionMarker()) {
                version_ = *marked;
            }
            Reboot(due, State::RebootingToFirmware);
            break;
        }
        default:
            writer_.Ack(out, AnswerTime(now), request, kAckUnknown);
            break;
    }
}

void CoderDevice::WriteBlock(const SimRequest& request, const LinkInfo& link, SimTime now,
                             std::vector<Emission>& out) {
    const Bytes& f = request.field;
    if (f.size() < 10 || f.size() != 10u + f[9]) {
        writer_.Ack(out, AnswerTime(now), request, kAckFieldLength);
        return;
    }
    const uint32_t segment = (uint32_t{f[5]} << 8) | f[6];
    const uint32_t offset = (uint32_t{f[7]} << 8) | f[8];
    const uint32_t address = segment * 16 + offset;
    const uint8_t count = f[9];

    // A repeat of the previous write is the program's retry of the same block.
    const std::pair<uint32_t, uint8_t> key{address, count};
    if (!lastWrite_ || *lastWrite_ != key) {
        ++blockIndex_;
        lastWrite_ = key;
    }
    const int32_t attempt = attempts_[blockIndex_]++;

    if (options_.dropAfter && !dropped_ && blockIndex_ >= *options_.dropAfter) {
        dropped_ = true;
        if (link.kind == LinkKind::Tcp) {
            out.push_back({std::max(now, busyUntil_), {}, true});
        } else {
            silent_ = true;
        }
        return;
    }

    bool writeData = true;
    std::optional<uint8_t> ackCode;
    for (const auto& nack : options_.nacks) {
        if (nack.block == blockIndex_ && (nack.times < 0 || attempt < nack.times)) {
            ackCode = nack.code;
            writeData = nack.code == 14;  // 14 still means written
        }
    }
    uint8_t written = 0;
    if (writeData) {
        written = flash_.Write(address, f.data() + 10, count);
    }
    if (!ackCode) {
        ackCode = written;
    }
    const bool firstTry = attempt == 0;
    const bool lose =
        firstTry && std::count(options_.loseAcks.begin(), options_.loseAcks.end(), blockIndex_) > 0;
    const bool badCrc =
        firstTry && std::count(options_.badCrcs.begin(), options_.badCrcs.end(), blockIndex_) > 0;
    const SimTime due = AnswerTime(now);
    if (!lose) {
        writer_.Ack(out, due, request, *ackCode, badCrc);
    }
}
