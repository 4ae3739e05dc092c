#include "sim/FlashMemory.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "sim/DumpFile.h"
#include "sim/Sha256.h"

FlashMemory::FlashMemory() : cells_(kEnd - kStart, 0xFF) {}

int FlashMemory::RegionOf(uint32_t address) {
    for (int r = 0; r < kRegionCount; ++r) {
        if (address >= kRegions[r].start && address < kRegions[r].end) {
            return r;
        }
    }
    return -1;
}

bool FlashMemory::Erase(int region) {
    if (region < 0 || region >= kRegionCount) {
        return false;
    }
    const Region& r = kRegions[region];
    std::fill(cells_.begin() + (r.start - kStart), cells_.begin() + (r.end - kStart), 0xFF);
    erased_[region] = true;
    written_[region] = 0;
    return true;
}

uint8_t FlashMemory::Write(uint32_t address, const uint8_t* data, int32_t count) {
    const uint64_t end = uint64_t{address} + static_cast<uint64_t>(std::max(count, 0));
    if (address < kStart || end > kEnd) {
        return kAckOutOfRange;
    }
    if (count <= 0) {
        return kAckDone;
    }
    // A block may straddle two regions; both must have been erased.
    const int first = RegionOf(address);
    const int last = RegionOf(static_cast<uint32_t>(end - 1));
    for (int r = first; r <= last; ++r) {
        if (!erased_[r]) {
            return kAckVerifyFailed;
        }
    }
    bool verified = true;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t& cell = cells_[address - kStart + static_cast<uint32_t>(i)];
        cell &= data[i];
        verified = verified && cell == data[i];
    }
    for (int r = first; r <= last; ++r) {
        const uint32_t regionEnd = std::min<uint32_t>(static_cast<uint32_t>(end), kRegions[r].end);
        written_[r] = std::max(written_[r], regionEnd - kRegions[r].start);
    }
    return verified ? kAckDone : kAckVerifyFailed;
}

void FlashMemory::Reset() {
    erased_.fill(false);
}

std::vector<uint8_t> FlashMemory::WrittenBytes(int region) const {
    const uint32_t from = kRegions[region].start - kStart;
    return std::vector<uint8_t>(cells_.begin() + from, cells_.begin() + from + written_[region]);
}

std::optional<std::string> FlashMemory::FindVersionMarker() const {
    const auto image = WrittenBytes(0);
    const size_t markerLength = std::strlen(kVersionMarker);
    auto at = image.begin();
    for (;;) {
        at = std::search(at, image.end(), kVersionMarker, kVersionMarker + markerLength);
        if (at == image.end()) {
            return std::nullopt;
        }
        const auto text = at + static_cast<long>(markerLength);
        if (image.end() - text >= kVersionLength &&
            std::all_of(text, text + kVersionLength,
                        [](uint8_t c) { return c >= 0x20 && c < 0x7F; })) {
            return std::string(text, text + kVersionLength);
        }
        ++at;
    }
}

std::string FlashMemory::DumpText() const {
    std::string text;
    for (int r = 0; r < kRegionCount; ++r) {
        const auto bytes = WrittenBytes(r);
        char line[96];
        std::snprintf(line, sizeof line, "region %d start 0x%05X length %u sha256 ", r,
                      kRegions[r].start, written_[r]);
        text += line;
        text += Sha256::Hex(bytes.data(), bytes.size());
        text += '\n';
    }
    return text;
}

bool FlashMemory::CreateDumpFolder(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = "cannot create the folder " + dir + " for --dump-raw: " + ec.message();
        return false;
    }
    return true;
}

bool FlashMemory::DumpRaw(const std::string& dir, std::string& error) const {
    if (!CreateDumpFolder(dir, error)) {
        return false;
    }
    for (int r = 0; r < kRegionCount; ++r) {
        const std::string path = dir + "/region" + std::to_string(r) + ".bin";
        const auto bytes = WrittenBytes(r);
        if (!WriteDumpFile(path, bytes.data(), bytes.size(), error)) {
            return false;
        }
    }
    return true;
}
