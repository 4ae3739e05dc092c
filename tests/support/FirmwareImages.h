#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Sha256.h"

// Firmware contents for the tests and the benchmarks: pseudo-random, so a misplaced block
// shows in the hash, and the same for the same seed.
constexpr uint32_t kCoderImageSeed = 0x1234;
constexpr uint32_t kSamplesImageSeed = 0x5678;
constexpr uint32_t kDspImageSeed = 0x9ABC;

inline std::vector<uint8_t> GeneratedImage(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = seed;
    for (uint8_t& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

// A coder image that carries the "TVER" marker with `version` ("2.16") at offset 64, which the
// simulated coder reports as its version after a restart; without the marker when too short.
inline std::vector<uint8_t> GeneratedCoderImage(size_t size, const std::string& version) {
    std::vector<uint8_t> bytes = GeneratedImage(size, kCoderImageSeed);
    const std::string marker = "TVERV" + version;
    if (size >= 64 + marker.size()) {
        std::copy(marker.begin(), marker.end(), bytes.begin() + 64);
    }
    return bytes;
}

// The simulator's --dump line of region `region` (starting at `start`, "0x80000") when it holds
// exactly `bytes`.
inline std::string ExpectedDumpLine(int region, const std::string& start,
                                    const std::vector<uint8_t>& bytes) {
    return "region " + std::to_string(region) + " start " + start + " length " +
           std::to_string(bytes.size()) + " sha256 " + Sha256::Hex(bytes.data(), bytes.size());
}
