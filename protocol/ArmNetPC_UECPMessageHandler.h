#pragma once

#include <cstdint>
#include <memory>

#include "protocol/UECPMessageHandler.h"

// Talks to the NetPC front-end itself, over a connection lent by the coder handler. Besides
// UECP frames it understands the NetPC's raw frames and its command-4 frames.
class ArmNetPC_UECPMessageHandler : public UECPMessageHandler {
public:
    static constexpr uint8_t kCmdQueryTransferMode = 0x06;
    static constexpr uint8_t kCmdSetTransferMode = 0x07;

    ~ArmNetPC_UECPMessageHandler() override { Close(0); }

    int GetKind() const override { return kHandlerKindNetPC; }
    void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer* source) override;

    UECP_IO_Error QueryTransferMode(uint8_t& mode, uint16_t address);
    UECP_IO_Error SetTransferMode(uint8_t mode, uint16_t address);

    static std::unique_ptr<FrameData> ParseNetPCFrame(const uint8_t* frame, int32_t length);
};
