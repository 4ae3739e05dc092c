#include "protocol/ArmNetPC_UECPMessageHandler.h"

#include "uecp/FrameCodec.h"

namespace {

void PrepareRequest(UECPMessage& message, uint8_t code, uint16_t address) {
    message.data[0] = 0x2D;
    message.data[1] = 0x03;
    message.data[2] = 'N';
    message.data[3] = 'S';
    message.data[4] = code;
    message.length = 5;
    message.address = address;
}

}  // namespace

std::unique_ptr<FrameData> ArmNetPC_UECPMessageHandler::ParseNetPCFrame(const uint8_t* frame,
                                                                        int32_t length) {
    uint8_t work[kMaxStuffedFrame];
    int32_t m = 0;
    if (!UnstuffDelivered(frame, length, work, m) || m < 3) {
        return std::make_unique<FrameData>();
    }
    // Raw NetPC frame: FE, 16-bit length, that many bytes, FF; no counter and no CRC.
    const int32_t rawLength = work[1] * 256 + work[2];
    if (rawLength != 0 && m == rawLength + 4) {
        auto raw = std::make_unique<FrameData>(rawLength, work + 3);
        raw->crcOk = true;
        return raw;
    }
    if (m < kFrameOverhead) {
        return std::make_unique<FrameData>();
    }
    // Command-4 frames run to the CRC whatever their length byte says.
    const bool command4 =
        m >= 10 && work[5] == 0x2D && work[7] == 'N' && work[8] == 'S' && work[9] == 0x04;
    return FrameFromUnstuffed(work, m, command4 ? m - kFrameOverhead : work[4]);
}

void ArmNetPC_UECPMessageHandler::OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer*) {
    StoreFrame(ParseNetPCFrame(data, length));
}

UECP_IO_Error ArmNetPC_UECPMessageHandler::QueryTransferMode(uint8_t& mode, uint16_t address) {
    UECPMessage message;
    PrepareRequest(message, kCmdQueryTransferMode, address);
    message.expectAnswer = true;
    message.answerMec = 0x2D;
    message.answerSubCode = kCmdQueryTransferMode;
    const UECP_IO_Error result = Transact(message);
    if (result != ERR_OK) {
        return result;
    }
    if (message.answer->size != 6) {
        return ERR_UNEXPECTED_SIZE;
    }
    mode = message.answer->bytes[5];
    return ERR_OK;
}

UECP_IO_Error ArmNetPC_UECPMessageHandler::SetTransferMode(uint8_t mode, uint16_t address) {
    UECPMessage message;
    PrepareRequest(message, kCmdSetTransferMode, address);
    message.data[1] = 0x04;
    message.data[5] = mode;
    message.length = 6;
    return Transact(message);
}
