#pragma once

#include <cstdint>
#include <vector>

#include "sim/CoderDevice.h"
#include "sim/SimFrame.h"
#include "sim/SimOptions.h"

// The partner as a line sees it: over serial the coder itself, over TCP the NetPC front-end
// that answers its own transfer-mode commands and forwards the rest to the coder when the mode
// matches what the coder runs (mode 0 the firmware, mode 1 the BIOS). Not thread-safe: the
// server serialises calls.
class SimDevice {
public:
    explicit SimDevice(const SimOptions& options);

    // One complete frame (0xFE to 0xFF, still stuffed) received at `now`.
    std::vector<Emission> OnFrame(const uint8_t* frame, int32_t length, const LinkInfo& link,
                                  SimTime now);

    uint8_t TransferMode() const { return transferMode_; }
    // After a finish with --no-reconnect the NetPC accepts no more connections.
    bool RefusesConnections() const { return options_.noReconnect && coder_.FinishCount() > 0; }
    CoderDevice& Coder() { return coder_; }
    const CoderDevice& Coder() const { return coder_; }

private:
    void HandleNetPc(const SimRequest& request, SimTime now, std::vector<Emission>& out);

    const SimOptions options_;
    CoderDevice coder_;
    AnswerWriter writer_;
    uint8_t transferMode_;
    CoderDevice::State lastCoderState_ = CoderDevice::State::Firmware;
};
