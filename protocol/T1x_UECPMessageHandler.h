#pragma once

#include <cstdint>
#include <string>

#include "protocol/UECPMessageHandler.h"

// The coder's own requests, for its firmware and its BIOS: version queries, the device model,
// and the commands that erase and program the flash.
class T1x_UECPMessageHandler : public UECPMessageHandler {
public:
    static constexpr uint8_t kCmdFirmwareVersion = 0x7E;
    static constexpr uint8_t kCmdBiosVersion = 0x87;
    static constexpr uint8_t kCmdMainPort = 0xCE;
    static constexpr uint8_t kCmdDeviceName = 0x7B;
    static constexpr uint8_t kCmdText7F = 0x7F;
    static constexpr uint8_t kCmdWordB1 = 0xB1;
    static constexpr uint8_t kCmdBlockB2 = 0xB2;
    static constexpr uint8_t kCmdStartUpdate = 0xEF;
    static constexpr uint8_t kCmdEraseFlash = 0x51;
    static constexpr uint8_t kCmdWriteBlock = 0x50;
    static constexpr uint8_t kCmdFinishFlash = 0x53;
    // Keeps a write-block message field within 255 bytes.
    static constexpr int32_t kMaxBlockBytes = 245;

    // A version answer of the wrong size: what it held and what was expected, counted as the
    // answer's layout counts them (characters of a firmware answer, bytes of a BIOS answer).
    struct WrongVersionAnswer {
        bool bios = false;
        int32_t received = -1;  // -1: no such answer since the last Forget
        int32_t expected = 0;
    };

    ~T1x_UECPMessageHandler() override { Close(0); }

    int GetKind() const override { return kHandlerKindCoder; }

    // `length` is the buffer's capacity on entry and the payload size on success.
    UECP_IO_Error Query(uint8_t code, uint8_t* buffer, int32_t& length, uint16_t address,
                        bool noAck);
    UECP_IO_Error QueryString(uint8_t code, std::string& text, int32_t expectedLength,
                              uint16_t address);
    UECP_IO_Error QueryFirmwareVersion(std::string& text, uint16_t address);
    UECP_IO_Error QueryDeviceName(std::string& text, uint16_t address);
    UECP_IO_Error QueryWord(uint8_t code, uint16_t& value, uint16_t address);
    UECP_IO_Error QueryBiosVersion(std::string& text, int32_t timeoutMs, uint16_t address);
    UECP_IO_Error StartFirmwareUpdate(uint16_t address);
    UECP_IO_Error EraseFlash(uint8_t region, uint16_t address);
    UECP_IO_Error WriteBlock(const uint8_t* data, int32_t count, uint16_t segment, uint16_t offset,
                             uint16_t address);
    UECP_IO_Error FinishFlashProgramming(uint16_t address);

    UECP_IO_Error QueryText7F(std::string& text, uint16_t address) override;
    UECP_IO_Error ReadDeviceInfo(T1xDeviceInfo& info, uint16_t address) override;
    UECP_IO_Error QueryWordB1(uint16_t& value, uint16_t address) override;
    UECP_IO_Error SendBlockB2(const ByteBuffer& buffer, uint16_t address) override;

    // Fills `info`'s type, model, name and class from the name the coder reports.
    static void ClassifyDevice(const std::string& reportedName, T1xDeviceInfo& info);

    // The last version query answered with the wrong size, kept across connections, since
    // ERR_UNEXPECTED_SIZE alone does not say what came back.
    const WrongVersionAnswer& LastWrongVersionAnswer() const { return wrongVersion_; }
    void ForgetWrongVersionAnswer() { wrongVersion_ = WrongVersionAnswer{}; }

private:
    UECP_IO_Error QueryTenBytes(uint8_t code, std::string& text, uint16_t address);

    int32_t lastPayload_ = 0;  // the payload size of the last firmware answer, also a refused one
    WrongVersionAnswer wrongVersion_;
};
