#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The coder's flash as its BIOS programs it: three regions by linear address (segment * 16 +
// offset), erase to 0xFF, and writes that can only clear bits, as on real NOR flash.
class FlashMemory {
public:
    struct Region {
        uint32_t start;
        uint32_t end;  // exclusive
    };
    static constexpr uint32_t kStart = 0x80000;
    static constexpr uint32_t kEnd = 0x100000;
    static constexpr std::array<Region, 3> kRegions = {
        {{0x80000, 0xCDF00}, {0xCDF00, 0xD8000}, {0xD8000, 0x100000}}};
    static constexpr int kRegionCount = 3;

    // Acknowledgement codes the BIOS gives for a write.
    static constexpr uint8_t kAckDone = 0;
    static constexpr uint8_t kAckOutOfRange = 6;
    static constexpr uint8_t kAckVerifyFailed = 17;

    // Marker in the coder image that names the firmware it contains: "TVER" + 5 characters.
    static constexpr char kVersionMarker[] = "TVER";
    static constexpr int kVersionLength = 5;

    FlashMemory();

    static int RegionOf(uint32_t address);  // -1 outside the flash

    bool Erase(int region);  // false for an unknown region
    // Ack code: 0 written, 6 outside the flash, 17 a region not erased since the last reset or
    // a byte that did not take the value (bits can only be cleared).
    uint8_t Write(uint32_t address, const uint8_t* data, int32_t count);
    // A restart forgets which regions were erased: writing needs a fresh erase.
    void Reset();

    bool Erased(int region) const { return erased_[region]; }
    // Bytes from the region's start to the end of the highest written byte.
    uint32_t WrittenLength(int region) const { return written_[region]; }
    std::vector<uint8_t> WrittenBytes(int region) const;
    std::optional<std::string> FindVersionMarker() const;

    // One line per region: "region R start 0xADDR length N sha256 HEX".
    std::string DumpText() const;
    // Writes DIR/regionR.bin with each region's written extent, creating DIR (with its parents)
    // when it is missing; false and a reason with the system's on failure.
    bool DumpRaw(const std::string& dir, std::string& error) const;
    // Creates DIR with its parents, so that a folder that cannot be made is found at start.
    static bool CreateDumpFolder(const std::string& dir, std::string& error);

private:
    std::vector<uint8_t> cells_;  // kStart .. kEnd
    std::array<bool, kRegionCount> erased_{};
    std::array<uint32_t, kRegionCount> written_{};
};
