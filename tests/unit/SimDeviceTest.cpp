#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/SimDevice.h"
#include "support/Frames.h"
#include "transport/AutoFrameBuffer.h"
#include "uecp/FrameCodec.h"

namespace {

using namespace std::chrono_literals;

constexpr LinkInfo kTcp{LinkKind::Tcp, 0};
constexpr LinkInfo kSerialFirmware{LinkKind::Serial, 9600};
constexpr LinkInfo kSerialBios{LinkKind::Serial, 115200};

using testing_support::CoderField;
using testing_support::WireFrame;

Bytes Write(uint16_t segment, uint16_t offset, const Bytes& data) {
    Bytes args{static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment),
               static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset),
               static_cast<uint8_t>(data.size())};
    args.resize(5 + data.size());
    std::copy(data.begin(), data.end(), args.begin() + 5);
    return CoderField(0x50, args);
}

std::string Hex(const Bytes& bytes) {
    return HexDump(bytes.data(), static_cast<int32_t>(bytes.size()), ' ', true);
}

std::vector<std::string> Frames(const std::vector<Emission>& out) {
    std::vector<std::string> frames;
    for (const Emission& e : out) {
        frames.push_back(Hex(e.bytes));
    }
    return frames;
}

struct Device {
    explicit Device(SimOptions o = {}) : options(o), sim(options) {}

    std::vector<Emission> Send(const Bytes& field, uint8_t sequence, const LinkInfo& link,
                               SimTime at, uint16_t address = 0) {
        const Bytes frame = WireFrame(field, sequence, address);
        return sim.OnFrame(frame.data(), static_cast<int32_t>(frame.size()), link, at);
    }
    // The acknowledgement code of a lone ack answer, or -1 when the answer is something else.
    int AckCode(const Bytes& field, uint8_t sequence, const LinkInfo& link, SimTime at) {
        const auto out = Send(field, sequence, link, at);
        if (out.size() != 1) {
            return -1;
        }
        const auto parsed =
            ParseFrame(out[0].bytes.data(), static_cast<int32_t>(out[0].bytes.size()));
        if (!parsed->crcOk || parsed->size != 2 || parsed->bytes[0] != 0x18) {
            return -1;
        }
        return parsed->bytes[1];
    }

    SimOptions options;
    SimDevice sim;
};

SimOptions Bios() {
    SimOptions o;
    o.state = SimOptions::StartState::Bios;
    o.transferMode = 1;
    return o;
}

TEST(SimDevice, FirmwareAnswersAckFirstThenTheAnswer) {
    Device d;
    using V = std::vector<std::string>;
    EXPECT_EQ(Frames(d.Send(CoderField(0x7E), 1, kTcp, 0us)),
              (V{"FE 00 00 01 02 18 00 63 E1 FF",
                 "FE 00 00 01 0A 2D 08 52 53 7E 56 32 2E 31 35 A8 5F FF"}));
    EXPECT_EQ(
        Frames(d.Send(CoderField(0x87), 2, kTcp, 0us)),
        (V{"FE 00 00 02 02 18 00 F8 3D FF", "FE 00 00 02 09 2D 07 52 53 87 32 2E 31 30 41 2C FF"}));
    // The main port answer skips byte 5: 2D 05 52 53 CE 00 hi lo.
    EXPECT_EQ(
        Frames(d.Send(CoderField(0xCE), 3, kTcp, 0us)),
        (V{"FE 00 00 03 02 18 00 8E 89 FF", "FE 00 00 03 08 2D 05 52 53 CE 00 0F A1 13 A2 FF"}));
    // Ten bytes of name; the CRC's low byte FF goes out stuffed.
    EXPECT_EQ(Frames(d.Send(CoderField(0x7B), 4, kTcp, 0us)),
              (V{"FE 00 00 04 02 18 00 DF A4 FF",
                 "FE 00 00 04 0F 2D 0D 52 53 7B 54 31 32 20 42 61 73 69 63 00 FD 02 94 FF"}));
    EXPECT_EQ(Frames(d.Send(CoderField(0x99), 5, kTcp, 0us)), (V{"FE 00 00 05 02 18 03 99 73 FF"}));
    EXPECT_EQ(d.AckCode(CoderField(0xB2, Bytes(14, 1)), 6, kTcp, 0us), 0);
    EXPECT_EQ(d.AckCode(CoderField(0xB2, Bytes(13, 1)), 6, kTcp, 0us), 8);
    const auto text7F = d.Send(CoderField(0x7F), 8, kTcp, 0us);
    ASSERT_EQ(text7F.size(), 2u);
    EXPECT_EQ(
        ParseFrame(text7F[1].bytes.data(), static_cast<int32_t>(text7F[1].bytes.size()))->size, 15);
    const auto b1 = d.Send(CoderField(0xB1), 9, kTcp, 0us);
    ASSERT_EQ(b1.size(), 2u);
    EXPECT_EQ(ParseFrame(b1[1].bytes.data(), static_cast<int32_t>(b1[1].bytes.size()))->size, 7);
}

TEST(SimDevice, OptionalQueriesCanStayUnanswered) {
    SimOptions o;
    o.biosVersion.reset();
    o.mainPort.reset();
    Device d(o);
    EXPECT_TRUE(d.Send(CoderField(0x87), 1, kTcp, 0us).empty());
    EXPECT_TRUE(d.Send(CoderField(0xCE), 2, kTcp, 0us).empty());
    EXPECT_EQ(d.Send(CoderField(0x7E), 3, kTcp, 0us).size(), 2u);
}

TEST(SimDevice, SerialAnswersOnlyAtTheRunningProgramsBaudRate) {
    SimOptions o;
    o.baud = 2400;
    Device d(o);
    EXPECT_TRUE(d.Send(CoderField(0x7E), 1, kSerialFirmware, 0us).empty());  // 9600
    EXPECT_TRUE(d.Send(CoderField(0x7E), 1, kSerialBios, 0us).empty());
    EXPECT_EQ(d.Send(CoderField(0x7E), 1, {LinkKind::Serial, 2400}, 0us).size(), 2u);
}

TEST(SimDevice, StartUpdateRebootsIntoTheBiosWithoutAnswer) {
    Device d;
    EXPECT_TRUE(d.Send(CoderField(0xEF), 1, kSerialFirmware, 1000ms).empty());
    EXPECT_EQ(d.sim.Coder().StateAt(1001ms), CoderDevice::State::RebootingToBios);
    // Unreachable for the reboot time, then only the BIOS at 115200 answers.
    EXPECT_TRUE(d.Send(CoderField(0x7E), 2, kSerialBios, 2499ms).empty());
    EXPECT_TRUE(d.Send(CoderField(0x7E), 2, kSerialFirmware, 2500ms).empty());
    // Any 0x7E gets the 7-byte BIOS answer without ack, with the request's address and counter.
    EXPECT_EQ(Frames(d.Send(CoderField(0x7E), 0xFE, kSerialBios, 2500ms, 0x0102)),
              std::vector<std::string>{"FE 01 02 FD 01 07 7E 05 32 2E 31 30 00 52 A4 FF"});
}

TEST(SimDevice, NetPcReachesTheCoderLaterThanASerialLine) {
    Device d;
    d.Send(CoderField(0xEF), 1, kTcp, 0ms);
    EXPECT_EQ(d.AckCode({0x2D, 0x04, 'N', 'S', 0x07, 0x01}, 2, kTcp, 100ms), 0);  // NetPC is up
    EXPECT_TRUE(d.Send(CoderField(0x7E), 3, kTcp, 4999ms).empty());
    EXPECT_EQ(d.Send(CoderField(0x7E), 3, kTcp, 5000ms).size(), 1u);
}

TEST(SimDevice, TimeScaleZeroMakesRebootsImmediate) {
    SimOptions o;
    o.timeScale = 0;
    Device d(o);
    d.Send(CoderField(0xEF), 1, kSerialFirmware, 0ms);
    EXPECT_EQ(d.Send(CoderField(0x7E), 2, kSerialBios, 0ms).size(), 1u);
}

TEST(SimDevice, EraseIsAcknowledgedAfterTheEraseTime) {
    SimOptions o = Bios();
    o.eraseMs = 300;
    o.slowMs = 20;  // on top, not scaled
    o.timeScale = 2;
    Device d(o);
    const auto out = d.Send(CoderField(0x51, {0}), 9, kTcp, 1000ms);
    ASSERT_EQ(Frames(out), std::vector<std::string>{"FE 00 00 09 02 18 00 E6 22 FF"});
    EXPECT_EQ(out[0].due, SimTime(1000ms + 600ms + 20ms));
    // The next request waits behind the erase.
    const auto next = d.Send(CoderField(0x51, {1}), 9, kTcp, 1100ms);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].due, SimTime(1600ms + 600ms + 20ms));
    EXPECT_EQ(d.AckCode(CoderField(0x51, {3}), 9, kTcp, 0ms), 6);
    EXPECT_EQ(d.AckCode(CoderField(0x51), 9, kTcp, 0ms), 8);
}

TEST(SimDevice, WriteBlockChecksEraseAndAddress) {
    Device d(Bios());
    const Bytes data(64, 0xA5);
    EXPECT_EQ(Frames(d.Send(Write(0x8000, 0x0040, data), 9, kTcp, 0ms)),
              std::vector<std::string>{"FE 00 00 09 02 18 11 E4 32 FF"});  // not erased: 17
    d.Send(CoderField(0x51, {0}), 9, kTcp, 0ms);
    EXPECT_EQ(d.AckCode(Write(0x8000, 0x0040, data), 9, kTcp, 0ms), 0);
    EXPECT_EQ(d.sim.Coder().Flash().WrittenLength(0), 0x80u);
    // Segment arithmetic: 0x9000:0x0000 is the same byte as 0x8000 + 64 KiB.
    EXPECT_EQ(d.AckCode(Write(0x9000, 0x0000, data), 9, kTcp, 0ms), 0);
    EXPECT_EQ(d.sim.Coder().Flash().WrittenLength(0), 0x10040u);
    EXPECT_EQ(Frames(d.Send(Write(0x7000, 0x0000, data), 9, kTcp, 0ms)),
              std::vector<std::string>{"FE 00 00 09 02 18 06 86 E4 FF"});
    EXPECT_EQ(d.AckCode(Write(0xFFFF, 0xFFF0, data), 9, kTcp, 0ms), 6);  // past 1 MiB
    Bytes shortField = Write(0x8000, 0, data);
    shortField.pop_back();
    EXPECT_EQ(d.AckCode(shortField, 9, kTcp, 0ms), 8);
}

TEST(SimDevice, FinishRestartsIntoTheFlashedVersion) {
    SimOptions o = Bios();
    o.state = SimOptions::StartState::Bios;
    Device d(o);
    d.Send(CoderField(0x51, {0}), 1, kSerialBios, 0ms);
    std::string image = "....TVERV2.16....";
    image.resize(64, 0);
    EXPECT_EQ(d.AckCode(Write(0x8000, 0, Bytes(image.begin(), image.end())), 2, kSerialBios, 0ms),
              0);
    EXPECT_EQ(d.AckCode(CoderField(0x53), 3, kSerialBios, 1000ms), 0);
    EXPECT_EQ(d.sim.Coder().FinishCount(), 1);
    EXPECT_TRUE(d.Send(CoderField(0x7E), 4, kSerialFirmware, 4999ms).empty());
    const auto out = d.Send(CoderField(0x7E), 4, kSerialFirmware, 5000ms);
    ASSERT_EQ(out.size(), 2u);
    const auto answer = ParseFrame(out[1].bytes.data(), static_cast<int32_t>(out[1].bytes.size()));
    EXPECT_EQ(std::string(answer->bytes.get() + 5, answer->bytes.get() + answer->size), "V2.16");
}

TEST(SimDevice, FinishFaultsNoAckAndStayInBios) {
    SimOptions o = Bios();
    o.noFinishAck = true;
    o.stayInBios = true;
    o.timeScale = 0;
    Device d(o);
    EXPECT_TRUE(d.Send(CoderField(0x53), 1, kSerialBios, 0ms).empty());
    EXPECT_EQ(d.sim.Coder().StateAt(0ms), CoderDevice::State::Bios);
    EXPECT_EQ(d.sim.Coder().FirmwareVersion(), "V2.15");  // no marker: unchanged
    // The restart forgot the erase: a write needs a new one.
    EXPECT_EQ(d.AckCode(Write(0x8000, 0, Bytes(64, 0)), 2, kSerialBios, 0ms), 17);
}

TEST(SimDevice, BlockFaultsCountPerBlockNotPerAttempt) {
    SimOptions o = Bios();
    o.nacks = {{1, 17, 2}, {3, 14, -1}};
    o.loseAcks = {0};
    o.badCrcs = {2};
    Device d(o);
    for (uint8_t r = 0; r < 3; ++r) {
        d.Send(CoderField(0x51, {r}), 1, kTcp, 0ms);
    }
    const Bytes data(64, 0x11);
    auto block = [&](int k) { return Write(0x8000, static_cast<uint16_t>(64 * k), data); };
    // Block 0: first ack lost, the retry is acknowledged.
    EXPECT_TRUE(d.Send(block(0), 2, kTcp, 0ms).empty());
    EXPECT_EQ(d.AckCode(block(0), 3, kTcp, 0ms), 0);
    // Block 1: 17 twice, then written.
    EXPECT_EQ(d.AckCode(block(1), 4, kTcp, 0ms), 17);
    EXPECT_EQ(d.AckCode(block(1), 5, kTcp, 0ms), 17);
    EXPECT_EQ(d.sim.Coder().Flash().WrittenLength(0), 64u);
    EXPECT_EQ(d.AckCode(block(1), 6, kTcp, 0ms), 0);
    // Block 2: the ack arrives with a bad CRC once.
    const auto bad = d.Send(block(2), 7, kTcp, 0ms);
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_FALSE(ParseFrame(bad[0].bytes.data(), static_cast<int32_t>(bad[0].bytes.size()))->crcOk);
    EXPECT_EQ(d.AckCode(block(2), 8, kTcp, 0ms), 0);
    // Block 3: code 14 on every attempt, and the data is written all the same.
    EXPECT_EQ(d.AckCode(block(3), 9, kTcp, 0ms), 14);
    EXPECT_EQ(d.AckCode(block(3), 9, kTcp, 0ms), 14);
    EXPECT_EQ(d.sim.Coder().Flash().WrittenLength(0), 256u);
    EXPECT_EQ(d.sim.Coder().BlockIndex(), 3);
}

TEST(SimDevice, DropAfterClosesTcpOrSilencesTheLineOnce) {
    SimOptions o = Bios();
    o.dropAfter = 1;
    Device tcp(o);
    tcp.Send(CoderField(0x51, {0}), 1, kTcp, 0ms);
    EXPECT_EQ(tcp.AckCode(Write(0x8000, 0, Bytes(64, 0)), 2, kTcp, 0ms), 0);
    const auto drop = tcp.Send(Write(0x8000, 64, Bytes(64, 0)), 3, kTcp, 0ms);
    ASSERT_EQ(drop.size(), 1u);
    EXPECT_TRUE(drop[0].close);
    EXPECT_EQ(tcp.AckCode(Write(0x8000, 64, Bytes(64, 0)), 4, kTcp, 0ms), 0);  // resumed

    Device serial(o);
    serial.Send(CoderField(0x51, {0}), 1, kSerialBios, 0ms);
    serial.Send(Write(0x8000, 0, Bytes(64, 0)), 2, kSerialBios, 0ms);
    EXPECT_TRUE(serial.Send(Write(0x8000, 64, Bytes(64, 0)), 3, kSerialBios, 0ms).empty());
    EXPECT_TRUE(serial.Send(CoderField(0x7E), 4, kSerialBios, 0ms).empty());
    serial.sim.Coder().SerialLineClosed();
    EXPECT_EQ(serial.Send(CoderField(0x7E), 5, kSerialBios, 0ms).size(), 1u);
}

TEST(SimDevice, EraseNackLeavesTheRegionUnerased) {
    SimOptions o = Bios();
    o.eraseNacks = {{1, 6}};
    Device d(o);
    EXPECT_EQ(d.AckCode(CoderField(0x51, {0}), 1, kTcp, 0ms), 0);
    EXPECT_EQ(d.AckCode(CoderField(0x51, {1}), 2, kTcp, 0ms), 6);
    EXPECT_EQ(d.AckCode(CoderField(0x51, {2}), 3, kTcp, 0ms), 0);
    EXPECT_TRUE(d.sim.Coder().Flash().Erased(0));
    EXPECT_FALSE(d.sim.Coder().Flash().Erased(1));
    // A write into the region that was refused its erase does not verify.
    EXPECT_EQ(d.AckCode(Write(0xCDF0, 0, Bytes(64, 0)), 4, kTcp, 0ms), 17);
}

TEST(SimDevice, BadCrcIsAnsweredWithCode1) {
    Device d(Bios());
    Bytes frame = WireFrame(CoderField(0x51, {0}), 9);
    frame[frame.size() - 2] ^= 0x01;
    const auto out = d.sim.OnFrame(frame.data(), static_cast<int32_t>(frame.size()), kTcp, 0ms);
    EXPECT_EQ(Frames(out), std::vector<std::string>{"FE 00 00 09 02 18 01 F6 03 FF"});
    EXPECT_FALSE(d.sim.Coder().Flash().Erased(0));
}

TEST(SimDevice, NetPcTransferModeAndRouting) {
    Device d;  // firmware, mode 0
    const Bytes query{0x2D, 0x03, 'N', 'S', 0x06};
    EXPECT_EQ(Frames(d.Send(query, 7, kTcp, 0ms)),
              (std::vector<std::string>{"FE 00 00 07 02 18 00 44 78 FF",
                                        "FE 00 00 07 06 2D 04 4E 53 06 00 EB 48 FF"}));
    EXPECT_EQ(d.AckCode({0x2D, 0x04, 'N', 'S', 0x07, 0x02}, 1, kTcp, 0ms), 6);
    EXPECT_EQ(d.AckCode({0x2D, 0x04, 'N', 'S', 0x07, 0x01}, 1, kTcp, 0ms), 0);
    EXPECT_EQ(d.sim.TransferMode(), 1);
    // Mode 1 passes BIOS traffic only: the running firmware is cut off.
    EXPECT_TRUE(d.Send(CoderField(0x7E), 2, kTcp, 0ms).empty());
    d.Send({0x2D, 0x04, 'N', 'S', 0x07, 0x00}, 3, kTcp, 0ms);
    EXPECT_EQ(d.Send(CoderField(0x7E), 4, kTcp, 0ms).size(), 2u);

    Device bios(Bios());
    bios.Send({0x2D, 0x04, 'N', 'S', 0x07, 0x00}, 1, kTcp, 0ms);
    EXPECT_TRUE(bios.Send(CoderField(0x7E), 2, kTcp, 0ms).empty());
}

TEST(SimDevice, NetPcReturnsToNormalModeWhenTheNewFirmwareRuns) {
    Device d(Bios());  // BIOS behind a NetPC in update mode
    EXPECT_EQ(d.AckCode(CoderField(0x53), 1, kTcp, 0ms), 0);
    EXPECT_EQ(d.sim.TransferMode(), 1);
    // While the coder restarts the mode stays; the first frame after it finds mode 0.
    EXPECT_TRUE(d.Send(CoderField(0x7E), 2, kTcp, 1000ms).empty());
    EXPECT_EQ(d.sim.TransferMode(), 1);
    EXPECT_EQ(d.Send(CoderField(0x7E), 3, kTcp, 60000ms).size(), 2u);
    EXPECT_EQ(d.sim.TransferMode(), 0);
}

TEST(SimDevice, OldNetPcIgnoresModeCommandsButForwards) {
    SimOptions o;
    o.oldNetPc = true;
    Device d(o);
    EXPECT_TRUE(d.Send({0x2D, 0x03, 'N', 'S', 0x06}, 1, kTcp, 0ms).empty());
    EXPECT_TRUE(d.Send({0x2D, 0x04, 'N', 'S', 0x07, 0x01}, 2, kTcp, 0ms).empty());
    EXPECT_EQ(d.sim.TransferMode(), 0);
    EXPECT_EQ(d.Send(CoderField(0x7E), 3, kTcp, 0ms).size(), 2u);
}

TEST(SimDevice, OffCoderIsSilentInBothModesWhileTheNetPcAnswers) {
    SimOptions o;
    o.state = SimOptions::StartState::Off;
    Device d(o);
    for (const uint8_t mode : {0, 1}) {
        EXPECT_EQ(d.AckCode({0x2D, 0x04, 'N', 'S', 0x07, mode}, 1, kTcp, 0ms), 0);
        EXPECT_TRUE(d.Send(CoderField(0x7E), 2, kTcp, 0ms).empty()) << "mode " << int{mode};
        EXPECT_TRUE(d.Send(CoderField(0x53), 3, kTcp, 0ms).empty()) << "mode " << int{mode};
    }
    EXPECT_TRUE(d.Send(CoderField(0x7E), 4, kSerialFirmware, 0ms).empty());
    EXPECT_TRUE(d.Send(CoderField(0x53), 5, kSerialBios, 0ms).empty());
}

struct Collector : FrameReader {
    void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer*) override {
        frames.push_back(HexDump(data, length, ' ', true));
    }
    std::vector<std::string> frames;
};

TEST(SimDevice, NoiseNeverFormsAFrame) {
    SimOptions o;
    o.noise = true;
    Device d(o);
    Collector reader;
    AutoFrameBuffer assembler(&reader);
    std::vector<std::string> sent;
    for (int i = 0; i < 50; ++i) {
        const auto out = d.Send(CoderField(0x7E), static_cast<uint8_t>(i), kTcp, 0ms);
        ASSERT_EQ(out.size(), 4u);  // noise, ack, noise, answer
        sent.push_back(Hex(out[1].bytes));
        sent.push_back(Hex(out[3].bytes));
        for (const auto& e : out) {
            assembler.Put(e.bytes.data(), static_cast<int32_t>(e.bytes.size()));
        }
    }
    EXPECT_EQ(reader.frames, sent);
}

}  // namespace
