#include "protocol/T1x_UECPMessageHandler.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kMec = 0x2D;

// Every coder request starts 2D 03 'R' 'S' code; byte 1 stays 03 even when arguments follow.
void PrepareRequest(UECPMessage& message, uint8_t code, uint16_t address, uint8_t lengthByte = 3) {
    message.data[0] = kMec;
    message.data[1] = lengthByte;
    message.data[2] = 'R';
    message.data[3] = 'S';
    message.data[4] = code;
    message.length = 5;
    message.address = address;
}

std::string TextUpToZero(const uint8_t* bytes, int32_t count) {
    const void* zero = std::memchr(bytes, 0, static_cast<size_t>(count));
    const int32_t used =
        zero != nullptr ? static_cast<int32_t>(static_cast<const uint8_t*>(zero) - bytes) : count;
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(used));
}

struct Model {
    const char* marker;
    int32_t deviceType;
    int32_t modelNumber;
};

constexpr Model kModels[] = {
    {"T12 Basic", 5, 12},
    {"T13 Basic", 6, 13},
    {"T14 DSP", 7, 14},
};

}  // namespace

UECP_IO_Error T1x_UECPMessageHandler::Query(uint8_t code, uint8_t* buffer, int32_t& length,
                                            uint16_t address, bool noAck) {
    UECPMessage message;
    PrepareRequest(message, code, address);
    message.ackMode = noAck ? 0 : -1;
    message.expectAnswer = true;
    message.answerMec = kMec;
    message.answerSubCode = (code == 0x48 && length == 2) ? 0x46 : code;
    const UECP_IO_Error result = Transact(message);
    if (result != ERR_OK) {
        return result;
    }
    const int32_t payloadStart = code == kCmdMainPort ? 6 : 5;
    const FrameData& answer = *message.answer;
    lastPayload_ = std::max(answer.size - payloadStart, 0);
    if (answer.size < payloadStart) {
        return ERR_UNEXPECTED_SIZE;
    }
    const int32_t payload = answer.size - payloadStart;
    if (payload > length) {
        return ERR_UNEXPECTED_SIZE;
    }
    if (payload > 0) {
        std::memcpy(buffer, answer.bytes.get() + payloadStart, static_cast<size_t>(payload));
    }
    length = payload;
    return ERR_OK;
}

UECP_IO_Error T1x_UECPMessageHandler::QueryString(uint8_t code, std::string& text,
                                                  int32_t expectedLength, uint16_t address) {
    uint8_t buffer[64];
    int32_t length = sizeof buffer;
    const UECP_IO_Error result = Query(code, buffer, length, address, false);
    if (result != ERR_OK) {
        return result;
    }
    if (expectedLength != -1 && length != expectedLength) {
        return ERR_UNEXPECTED_SIZE;
    }
    text = TextUpToZero(buffer, length);
    return ERR_OK;
}

UECP_IO_Error T1x_UECPMessageHandler::QueryFirmwareVersion(std::string& text, uint16_t address) {
    constexpr int32_t kVersionLength = 5;
    const UECP_IO_Error result = QueryString(kCmdFirmwareVersion, text, kVersionLength, address);
    if (result == ERR_UNEXPECTED_SIZE) {
        wrongVersion_ = WrongVersionAnswer{false, lastPayload_, kVersionLength};
    }
    return result;
}

UECP_IO_Error T1x_UECPMessageHandler::QueryTenBytes(uint8_t code, std::string& text,
                                                    uint16_t address) {
    return QueryString(code, text, 10, address);
}

UECP_IO_Error T1x_UECPMessageHandler::QueryDeviceName(std::string& text, uint16_t address) {
    return QueryTenBytes(kCmdDeviceName, text, address);
}

UECP_IO_Error T1x_UECPMessageHandler::QueryText7F(std::string& text, uint16_t address) {
    return QueryTenBytes(kCmdText7F, text, address);
}

UECP_IO_Error T1x_UECPMessageHandler::QueryWord(uint8_t code, uint16_t& value, uint16_t address) {
    uint8_t buffer[2];
    int32_t length = sizeof buffer;
    const UECP_IO_Error result = Query(code, buffer, length, address, false);
    if (result != ERR_OK) {
        return result;
    }
    if (length != 2) {
        return ERR_UNEXPECTED_SIZE;
    }
    value = static_cast<uint16_t>(buffer[0] * 256 + buffer[1]);
    return ERR_OK;
}

UECP_IO_Error T1x_UECPMessageHandler::QueryWordB1(uint16_t& value, uint16_t address) {
    return QueryWord(kCmdWordB1, value, address);
}

UECP_IO_Error T1x_UECPMessageHandler::QueryBiosVersion(std::string& text, int32_t timeoutMs,
                                                       uint16_t address) {
    UECPMessage message;
    PrepareRequest(message, kCmdFirmwareVersion, address);
    message.ackMode = 0;
    message.expectAnswer = true;
    message.answerMec = 0x7E;
    message.timeoutMs = timeoutMs;
    const UECP_IO_Error result = Transact(message);
    if (result != ERR_OK) {
        return result;
    }
    constexpr int32_t kAnswerSize = 7;
    if (message.answer->size != kAnswerSize) {
        wrongVersion_ = WrongVersionAnswer{true, message.answer->size, kAnswerSize};
        return ERR_UNEXPECTED_SIZE;
    }
    text = TextUpToZero(message.answer->bytes.get() + 2, 4);
    return ERR_OK;
}

UECP_IO_Error T1x_UECPMessageHandler::StartFirmwareUpdate(uint16_t address) {
    UECPMessage message;
    PrepareRequest(message, kCmdStartUpdate, address);
    message.ackMode = 0;
    return Transact(message);
}

UECP_IO_Error T1x_UECPMessageHandler::EraseFlash(uint8_t region, uint16_t address) {
    UECPMessage message;
    PrepareRequest(message, kCmdEraseFlash, address);
    message.data[5] = region;
    message.length = 6;
    return Transact(message);
}

UECP_IO_Error T1x_UECPMessageHandler::WriteBlock(const uint8_t* data, int32_t count,
                                                 uint16_t segment, uint16_t offset,
                                                 uint16_t address) {
    if (count < 0 || count > kMaxBlockBytes || (count > 0 && data == nullptr)) {
        return ERR_INVALID_PARAMETER;
    }
    UECPMessage message;
    PrepareRequest(message, kCmdWriteBlock, address);
    message.data[5] = static_cast<uint8_t>(segment >> 8);
    message.data[6] = static_cast<uint8_t>(segment & 0xFF);
    message.data[7] = static_cast<uint8_t>(offset >> 8);
    message.data[8] = static_cast<uint8_t>(offset & 0xFF);
    message.data[9] = static_cast<uint8_t>(count);
    if (count > 0) {
        std::memcpy(message.data + 10, data, static_cast<size_t>(count));
    }
    message.length = 10 + count;
    return Transact(message);
}

UECP_IO_Error T1x_UECPMessageHandler::FinishFlashProgramming(uint16_t address) {
    UECPMessage message;
    PrepareRequest(message, kCmdFinishFlash, address);
    return Transact(message);
}

UECP_IO_Error T1x_UECPMessageHandler::SendBlockB2(const ByteBuffer& buffer, uint16_t address) {
    if (buffer.size != 14) {
        return ERR_INVALID_PARAMETER;
    }
    UECPMessage message;
    PrepareRequest(message, kCmdBlockB2, address, 0x11);
    std::memcpy(message.data + 5, buffer.bytes.get(), 14);
    message.length = 19;
    return Transact(message);
}

void T1x_UECPMessageHandler::ClassifyDevice(const std::string& reportedName, T1xDeviceInfo& info) {
    info.deviceType = 0;
    info.modelNumber = 0;
    info.deviceName = "Unknown Device";
    for (const Model& model : kModels) {
        if (reportedName.find(model.marker) != std::string::npos) {
            info.deviceType = model.deviceType;
            info.modelNumber = model.modelNumber;
            info.deviceName = reportedName;
            break;
        }
    }
    if (info.deviceType >= 1 && info.deviceType <= 3) {
        info.deviceClass = 1;
    } else if (info.deviceType >= 5 && info.deviceType <= 7) {
        info.deviceClass = 2;
    } else {
        info.deviceClass = 0;
    }
}

UECP_IO_Error T1x_UECPMessageHandler::ReadDeviceInfo(T1xDeviceInfo& info, uint16_t address) {
    UECP_IO_Error result = QueryText7F(info.text7F, address);
    if (result != ERR_OK) {
        return result;
    }
    result = QueryFirmwareVersion(info.firmwareVersion, address);
    if (result != ERR_OK) {
        return result;
    }
    std::string name;
    result = QueryDeviceName(name, address);
    if (result != ERR_OK) {
        return result;
    }
    ClassifyDevice(name, info);
    return ERR_OK;
}
