#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/FlashMemory.h"
#include "sim/SimFrame.h"
#include "sim/SimOptions.h"

// The coder behind the line: its firmware, its BIOS with the flash, the restarts between them
// and the faults it can be told to show. Time only moves through the `now` of each call.
class CoderDevice {
public:
    enum class State { Firmware, Bios, RebootingToBios, RebootingToFirmware };

    static constexpr uint32_t kBiosBaud = 115200;

    explicit CoderDevice(const SimOptions& options);

    State StateAt(SimTime now);
    // Whether a frame over `link` at `now` reaches the coder at all (running, not silenced, and
    // over serial at the line speed of the running program).
    bool Hears(const LinkInfo& link, SimTime now);
    // Handles one request that reached the coder; a TCP drop is an Emission with `close`.
    void Handle(const SimRequest& request, const LinkInfo& link, SimTime now,
                std::vector<Emission>& out);

    // A silenced serial line (--drop-after) comes back once the client has closed the port.
    void SerialLineClosed() { silent_ = false; }

    const std::string& FirmwareVersion() const { return version_; }
    int FinishCount() const { return finishCount_; }
    int64_t BlockIndex() const { return blockIndex_; }
    FlashMemory& Flash() { return flash_; }
    const FlashMemory& Flash() const { return flash_; }

private:
    SimTime Scaled(int32_t ms) const;
    SimTime AnswerTime(SimTime now, int32_t workMs = 0);
    void Reboot(SimTime at, State target);
    void HandleFirmware(const SimRequest& request, SimTime now, std::vector<Emission>& out);
    void HandleBios(const SimRequest& request, const LinkInfo& link, SimTime now,
                    std::vector<Emission>& out);
    void WriteBlock(const SimRequest& request, const LinkInfo& link, SimTime now,
                    std::vector<Emission>& out);

    const SimOptions options_;
    AnswerWriter writer_;
    FlashMemory flash_;
    State state_;
    std::string version_;
    SimTime busyUntil_{0};
    SimTime rebootAt_{0};
    // The NetPC reaches the coder again later than a serial line does after a restart.
    SimTime tcpBackAt_{0};
    int finishCount_ = 0;

    int64_t blockIndex_ = -1;
    std::optional<std::pair<uint32_t, uint8_t>> lastWrite_;  // address and count
    std::map<int64_t, int32_t> attempts_;
    bool dropped_ = false;
    bool silent_ = false;
    const bool off_;
};
