#include <gtest/gtest.h>

#include "protocol/ArmNetPC_UECPMessageHandler.h"
#include "protocol/T1x_UECPMessageHandler.h"
#include "support/FakeTransport.h"

namespace {

using testing_support::Bytes;
using testing_support::FakeOpenHandler;
using testing_support::WireFrame;

const Bytes kAckOk = {0x18, 0x00};

// A device double: answers each request from a table keyed by the request's field.
template <typename Base>
struct ScriptedHandler : FakeOpenHandler<Base> {
    explicit ScriptedHandler(std::function<std::vector<Bytes>(const Bytes&)> script) {
        this->responder = [this, script](const Bytes& field) {
            requests.push_back(field);
            return script(field);
        };
        TCP_ConnectionParams params("127.0.0.1", 1);
        params.responseTimeout = 100;
        this->SetTcpParams(params);
        EXPECT_EQ(this->Open(), ERR_OK);
    }
    std::vector<Bytes> requests;
};

using Coder = ScriptedHandler<T1x_UECPMessageHandler>;
using NetPC = ScriptedHandler<ArmNetPC_UECPMessageHandler>;

std::vector<Bytes> AckThen(const Bytes& answer) {
    return {WireFrame(kAckOk), WireFrame(answer)};
}

Bytes Field(const FrameData& frame) {
    return Bytes(frame.bytes.get(), frame.bytes.get() + frame.size);
}

TEST(CoderCommands, FirmwareVersion) {
    Coder coder([](const Bytes&) {
        return AckThen({0x2D, 0x08, 0x52, 0x53, 0x7E, 'V', '2', '.', '1', '5'});
    });
    std::string version;
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK);
    EXPECT_EQ(version, "V2.15");
    EXPECT_EQ(coder.requests.at(0), (Bytes{0x2D, 0x03, 0x52, 0x53, 0x7E}));

    Coder shortAnswer([](const Bytes&) {
        return AckThen({0x2D, 0x07, 0x52, 0x53, 0x7E, 'V', '2', '.', '1'});
    });
    version = "unchanged";
    EXPECT_EQ(shortAnswer.QueryFirmwareVersion(version, 0), ERR_UNEXPECTED_SIZE);
    EXPECT_EQ(version, "unchanged");
    // What came back is kept beside the result, for the reason a user is shown.
    EXPECT_EQ(coder.LastWrongVersionAnswer().received, -1);
    const auto& wrong = shortAnswer.LastWrongVersionAnswer();
    EXPECT_FALSE(wrong.bios);
    EXPECT_EQ(wrong.received, 4);
    EXPECT_EQ(wrong.expected, 5);
    shortAnswer.ForgetWrongVersionAnswer();
    EXPECT_EQ(shortAnswer.LastWrongVersionAnswer().received, -1);

    // A payload longer than the 64-byte buffer is refused, not copied.
    Coder longAnswer([](const Bytes&) {
        Bytes answer = {0x2D, 0x50, 0x52, 0x53, 0x7E};
        answer.resize(5 + 65, 'x');
        return AckThen(answer);
    });
    EXPECT_EQ(longAnswer.QueryString(0x7E, version, -1, 0), ERR_UNEXPECTED_SIZE);
    EXPECT_EQ(longAnswer.QueryFirmwareVersion(version, 0), ERR_UNEXPECTED_SIZE);
    EXPECT_EQ(longAnswer.LastWrongVersionAnswer().received, 65);
}

TEST(CoderCommands, BiosVersionWaitsForNoAcknowledgement) {
    Coder coder([](const Bytes&) {
        return std::vector<Bytes>{WireFrame({0x7E, 0x05, '2', '.', '1', '0', 0x00})};
    });
    std::string version;
    EXPECT_EQ(coder.QueryBiosVersion(version, 500, 0), ERR_OK);
    EXPECT_EQ(version, "2.10");
    EXPECT_EQ(coder.requests.at(0), (Bytes{0x2D, 0x03, 0x52, 0x53, 0x7E}));

    Coder wrongSize([](const Bytes&) {
        return std::vector<Bytes>{WireFrame({0x7E, 0x05, '2', '.', '1', '0'})};
    });
    EXPECT_EQ(wrongSize.QueryBiosVersion(version, 500, 0), ERR_UNEXPECTED_SIZE);
    EXPECT_TRUE(wrongSize.LastWrongVersionAnswer().bios);
    EXPECT_EQ(wrongSize.LastWrongVersionAnswer().received, 6);
    EXPECT_EQ(wrongSize.LastWrongVersionAnswer().expected, 7);
}

TEST(CoderCommands, WordsSkipTheMainPortPadByte) {
    Coder coder([](const Bytes& request) {
        if (request[4] == 0xCE) {
            return AckThen({0x2D, 0x05, 0x52, 0x53, 0xCE, 0x00, 0x1A, 0x0A});
        }
        return AckThen({0x2D, 0x05, 0x52, 0x53, 0xB1, 0x12, 0x34});
    });
    uint16_t value = 0;
    EXPECT_EQ(coder.QueryWord(0xCE, value, 0), ERR_OK);
    EXPECT_EQ(value, 0x1A0A);
    EXPECT_EQ(coder.QueryWordB1(value, 0), ERR_OK);
    EXPECT_EQ(value, 0x1234);

    Coder oneByte([](const Bytes&) { return AckThen({0x2D, 0x05, 0x52, 0x53, 0xCE, 0x00, 0x1A}); });
    EXPECT_EQ(oneByte.QueryWord(0xCE, value, 0), ERR_UNEXPECTED_SIZE);
    Coder tooShort([](const Bytes&) { return AckThen({0x2D, 0x05, 0x52, 0x53, 0xCE}); });
    EXPECT_EQ(tooShort.QueryWord(0xCE, value, 0), ERR_UNEXPECTED_SIZE);
}

TEST(CoderCommands, FlashCommandsAreLaidOutExactly) {
    Coder coder([](const Bytes&) { return std::vector<Bytes>{WireFrame(kAckOk)}; });
    Bytes block(64);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(0xC0 + i);
    }
    EXPECT_EQ(coder.WriteBlock(block.data(), 64, 0x8000, 0x0040, 0), ERR_OK);
    EXPECT_EQ(coder.EraseFlash(2, 0), ERR_OK);
    EXPECT_EQ(coder.FinishFlashProgramming(0), ERR_OK);
    EXPECT_EQ(coder.StartFirmwareUpdate(0), ERR_OK);

    ASSERT_EQ(coder.requests.size(), 4u);
    const Bytes& write = coder.requests[0];
    ASSERT_EQ(write.size(), 74u);
    EXPECT_EQ(Bytes(write.begin(), write.begin() + 10),
              (Bytes{0x2D, 0x03, 0x52, 0x53, 0x50, 0x80, 0x00, 0x00, 0x40, 0x40}));
    EXPECT_EQ(Bytes(write.begin() + 10, write.end()), block);
    EXPECT_EQ(coder.requests[1], (Bytes{0x2D, 0x03, 0x52, 0x53, 0x51, 0x02}));
    EXPECT_EQ(coder.requests[2], (Bytes{0x2D, 0x03, 0x52, 0x53, 0x53}));
    EXPECT_EQ(coder.requests[3], (Bytes{0x2D, 0x03, 0x52, 0x53, 0xEF}));

    EXPECT_EQ(coder.WriteBlock(block.data(), 246, 0x8000, 0, 0), ERR_INVALID_PARAMETER);
    EXPECT_EQ(coder.requests.size(), 4u);
}

TEST(CoderCommands, StartUpdateNeedsNoAcknowledgement) {
    Coder silent([](const Bytes&) { return std::vector<Bytes>{}; });
    EXPECT_EQ(silent.StartFirmwareUpdate(0), ERR_OK);
    EXPECT_EQ(silent.EraseFlash(0, 0), ERR_NO_ACK);
}

TEST(CoderCommands, BlockB2) {
    Coder coder([](const Bytes&) { return std::vector<Bytes>{WireFrame(kAckOk)}; });
    ByteBuffer wrong(13);
    EXPECT_EQ(coder.SendBlockB2(wrong, 0), ERR_INVALID_PARAMETER);
    EXPECT_TRUE(coder.requests.empty());
    ByteBuffer right(14);
    right.bytes[13] = 0x77;
    EXPECT_EQ(coder.SendBlockB2(right, 0), ERR_OK);
    ASSERT_EQ(coder.requests.at(0).size(), 19u);
    EXPECT_EQ(Bytes(coder.requests[0].begin(), coder.requests[0].begin() + 5),
              (Bytes{0x2D, 0x11, 0x52, 0x53, 0xB2}));
    EXPECT_EQ(coder.requests[0][18], 0x77);
}

TEST(CoderCommands, DeviceInfoAndModels) {
    Coder coder([](const Bytes& request) {
        switch (request[4]) {
            case 0x7F:
                return AckThen(
                    {0x2D, 0x0D, 0x52, 0x53, 0x7F, 'S', 'N', '1', '2', '3', 0, 0, 0, 0, 0});
            case 0x7E:
                return AckThen({0x2D, 0x08, 0x52, 0x53, 0x7E, 'V', '3', '.', '0', '1'});
            default:
                return AckThen(
                    {0x2D, 0x0D, 0x52, 0x53, 0x7B, 'T', '1', '4', ' ', 'D', 'S', 'P', 0, 0, 0});
        }
    });
    T1xDeviceInfo info;
    EXPECT_EQ(coder.ReadDeviceInfo(info, 0), ERR_OK);
    EXPECT_EQ(info.text7F, "SN123");
    EXPECT_EQ(info.firmwareVersion, "V3.01");
    EXPECT_EQ(info.deviceName, "T14 DSP");
    EXPECT_EQ(info.deviceType, 7);
    EXPECT_EQ(info.modelNumber, 14);
    EXPECT_EQ(info.deviceClass, 2);

    T1x_UECPMessageHandler::ClassifyDevice("T13 Basic + T14 DSP", info);
    EXPECT_EQ(info.deviceType, 6);
    T1x_UECPMessageHandler::ClassifyDevice("T99", info);
    EXPECT_EQ(info.deviceType, 0);
    EXPECT_EQ(info.modelNumber, 0);
    EXPECT_EQ(info.deviceClass, 0);
    EXPECT_EQ(info.deviceName, "Unknown Device");
}

TEST(NetPCCommands, TransferMode) {
    NetPC netpc([](const Bytes& request) {
        if (request[4] == 0x06) {
            return AckThen({0x2D, 0x04, 0x4E, 0x53, 0x06, 0x01});
        }
        return std::vector<Bytes>{WireFrame(kAckOk)};
    });
    uint8_t mode = 0;
    EXPECT_EQ(netpc.QueryTransferMode(mode, 0), ERR_OK);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(netpc.SetTransferMode(1, 0), ERR_OK);
    EXPECT_EQ(netpc.requests.at(0), (Bytes{0x2D, 0x03, 0x4E, 0x53, 0x06}));
    EXPECT_EQ(netpc.requests.at(1), (Bytes{0x2D, 0x04, 0x4E, 0x53, 0x07, 0x01}));
    std::string text;
    EXPECT_EQ(netpc.QueryText7F(text, 0), ERR_NOT_SUPPORTED);
    EXPECT_EQ(netpc.GetKind(), 3);

    NetPC wrongSize([](const Bytes&) { return AckThen({0x2D, 0x05, 0x4E, 0x53, 0x06, 0x01, 0}); });
    mode = 9;
    EXPECT_EQ(wrongSize.QueryTransferMode(mode, 0), ERR_UNEXPECTED_SIZE);
    EXPECT_EQ(mode, 9);
}

TEST(NetPCCommands, ParserAcceptsRawAndCommand4Frames) {
    const Bytes raw = {0xFE, 0x00, 0x03, 0x41, 0x42, 0x43, 0xFF};
    auto parsed = ArmNetPC_UECPMessageHandler::ParseNetPCFrame(raw.data(), 7);
    EXPECT_TRUE(parsed->crcOk);
    EXPECT_EQ(Field(*parsed), (Bytes{0x41, 0x42, 0x43}));
    // The coder's parser sees the same bytes as a broken UECP frame.
    EXPECT_FALSE(ParseFrame(raw.data(), 7)->crcOk);

    // Command 4: the field runs to the CRC whatever the length byte says.
    Bytes command4 = WireFrame({0x2D, 0x05, 0x4E, 0x53, 0x04, 0x10, 0x20});
    command4[4] = 0x02;
    const Bytes body(command4.begin() + 1, command4.end() - 3);
    const uint16_t crc = Crc16(body.data(), static_cast<int32_t>(body.size()));
    command4[command4.size() - 3] = static_cast<uint8_t>(crc >> 8);
    command4[command4.size() - 2] = static_cast<uint8_t>(crc & 0xFF);
    parsed = ArmNetPC_UECPMessageHandler::ParseNetPCFrame(command4.data(),
                                                          static_cast<int32_t>(command4.size()));
    EXPECT_TRUE(parsed->crcOk);
    EXPECT_EQ(Field(*parsed), (Bytes{0x2D, 0x05, 0x4E, 0x53, 0x04, 0x10, 0x20}));
    // The same frame with another command uses the length byte.
    command4[9] = 0x05;
    parsed = ArmNetPC_UECPMessageHandler::ParseNetPCFrame(command4.data(),
                                                          static_cast<int32_t>(command4.size()));
    EXPECT_EQ(parsed->size, 2);
    EXPECT_FALSE(parsed->crcOk);

    // Too short for any form: a bad frame, nothing read beyond it.
    const Bytes tiny = {0xFE, 0x00, 0xFF};
    EXPECT_FALSE(ArmNetPC_UECPMessageHandler::ParseNetPCFrame(tiny.data(), 3)->crcOk);
}

}  // namespace
