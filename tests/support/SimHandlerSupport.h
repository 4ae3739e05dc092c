#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "protocol/T1x_UECPMessageHandler.h"
#include "sim/Sha256.h"
#include "sim/SimServer.h"
#include "update/FirmwareBlocks.h"

// The simulator in this process on its own thread, started or the test fails.
inline std::unique_ptr<SimServer> StartSim(const SimOptions& options) {
    auto server = std::make_unique<SimServer>(options);
    std::string error;
    EXPECT_TRUE(server->Start(error)) << error;
    return server;
}

// An image that varies from byte to byte and holds every byte stuffing cares about (0xFD to
// 0xFF), with the version marker the simulator reads after a finish at `markerAt`.
inline std::vector<uint8_t> TestImage(size_t size, uint8_t seed, const std::string& marker = {},
                                      size_t markerAt = 0) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) {
        image[i] = static_cast<uint8_t>(i * 37 + seed + (i >> 7));
    }
    std::copy(marker.begin(), marker.end(), image.begin() + static_cast<long>(markerAt));
    return image;
}

// Writes `image` block by block from `segment`, the way the flash sequence walks the
// addresses. Returns the first result that is neither success nor code 14, with its block.
inline UECP_IO_Error WriteImage(T1x_UECPMessageHandler& handler, uint16_t segment,
                                const std::vector<uint8_t>& image, uint64_t& failedBlock) {
    for (uint64_t k = 0; k < BlockCount(image.size()); ++k) {
        const size_t at = k * kFirmwareBlockSize;
        const auto count =
            static_cast<int32_t>(std::min<size_t>(kFirmwareBlockSize, image.size() - at));
        const SegmentOffset address = BlockAddress(segment, k);
        const UECP_IO_Error result =
            handler.WriteBlock(image.data() + at, count, address.segment, address.offset, 0);
        if (result != ERR_OK && result != ERR_NACK_14) {
            failedBlock = k;
            return result;
        }
    }
    return ERR_OK;
}

// The dump line the simulator gives for a region that holds exactly `bytes`.
inline std::string DumpLine(int region, uint32_t start, const std::vector<uint8_t>& bytes) {
    char head[64];
    std::snprintf(head, sizeof head, "region %d start 0x%05X length %zu sha256 ", region, start,
                  bytes.size());
    return head + Sha256::Hex(bytes.data(), bytes.size());
}
