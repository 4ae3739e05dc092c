#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <random>
#include <vector>

#include "support/Frames.h"
#include "uecp/FrameCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Build(const Bytes& field, uint8_t counter, uint16_t address = 0) {
    return testing_support::WireFrame(field, counter, address);
}

Bytes StuffBytes(const Bytes& plain) {
    uint8_t out[kMaxStuffedFrame];
    int32_t n = 0;
    Stuff(plain.data(), static_cast<int32_t>(plain.size()), out, n);
    return Bytes(out, out + n);
}

Bytes UnstuffBytes(const Bytes& stuffed) {
    uint8_t out[kMaxStuffedFrame];
    int32_t n = 0;
    Unstuff(stuffed.data(), static_cast<int32_t>(stuffed.size()), out, n);
    return Bytes(out, out + n);
}

Bytes Field(const FrameData& frame) {
    return Bytes(frame.bytes.get(), frame.bytes.get() + frame.size);
}

TEST(FrameCodec, WorkedFramesBuildByteForByteAndParseBack) {
    struct Case {
        Bytes field;
        uint8_t counter;
        Bytes wire;
    };
    const Case cases[] = {
        {{0x2D, 0x03, 0x52, 0x53, 0x53},
         0x00,
         {0xFE, 0x00, 0x00, 0x00, 0x05, 0x2D, 0x03, 0x52, 0x53, 0x53, 0x17, 0x4A, 0xFF}},
        {{}, 0x00, {0xFE, 0x00, 0x00, 0x00, 0x00, 0x7B, 0x3F, 0xFF}},
        {{0x2D, 0x03, 0x52, 0x53, 0xEF},
         0xFE,
         {0xFE, 0x00, 0x00, 0xFD, 0x01, 0x05, 0x2D, 0x03, 0x52, 0x53, 0xEF, 0x6C, 0x0D, 0xFF}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Build(c.field, c.counter), c.wire);
        auto parsed = ParseFrame(c.wire.data(), static_cast<int32_t>(c.wire.size()));
        EXPECT_TRUE(parsed->crcOk);
        EXPECT_EQ(Field(*parsed), c.field);
    }
}

TEST(FrameCodec, HexDumpAsTheLogShowsIt) {
    const Bytes frame = {0xFE, 0x00, 0x00, 0x00, 0x05, 0x2D, 0x03,
                         0x52, 0x53, 0x53, 0x17, 0x4A, 0xFF};
    EXPECT_EQ(HexDump(frame.data(), 13, ',', true), "FE,00,00,00,05,2D,03,52,53,53,17,4A,FF");
    const uint8_t two[] = {0x0A, 0xFF};
    EXPECT_EQ(HexDump(two, 2, ',', false), "0a,ff");
    EXPECT_EQ(HexDump(two, 2, ',', true), "0A,FF");
    EXPECT_EQ(HexDump(two, 1, ' ', true), "0A");
    EXPECT_EQ(HexDump(two, 0, ',', true), "");
}

TEST(Crc16, CheckValueAndEmptyInput) {
    const char* text = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(text), 9), 0xD64E);
    EXPECT_EQ(Crc16(nullptr, 0), 0x0000);
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(text), -3), 0x0000);
}

TEST(Crc16, AgreesWithBitwiseReferenceOnRandomInput) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> size(1, 600);
    for (int round = 0; round < 5000; ++round) {
        Bytes data(static_cast<size_t>(size(random)));
        for (auto& b : data) {
            b = static_cast<uint8_t>(byte(random));
        }
        boost::crc_optimal<16, 0x1021, 0xFFFF, 0xFFFF, false, false> reference;
        reference.process_bytes(data.data(), data.size());
        ASSERT_EQ(Crc16(data.data(), static_cast<int32_t>(data.size())), reference.checksum())
            << "round " << round;
    }
}

TEST(CheckCrc, BypassValueAndWrongCrc) {
    const uint8_t body[] = {0x00, 0x00, 0x00, 0x05, 0x2D, 0x03, 0x52, 0x53, 0x53};
    EXPECT_TRUE(CheckCrc(body, 9, 0x174A));
    EXPECT_FALSE(CheckCrc(body, 9, 0x174B));
    EXPECT_TRUE(CheckCrc(body, 9, 0x5253));

    // Received frames: "RS" in place of the CRC passes, anything else wrong fails.
    const Bytes bypass = {0xFE, 0x00, 0x00, 0x00, 0x02, 0x18, 0x00, 0x52, 0x53, 0xFF};
    EXPECT_TRUE(ParseFrame(bypass.data(), 10)->crcOk);
    Bytes broken = Build({0x18, 0x00}, 3);
    broken[broken.size() - 2] ^= 0x01;
    EXPECT_FALSE(ParseFrame(broken.data(), static_cast<int32_t>(broken.size()))->crcOk);
}

TEST(Stuffing, EscapesOnlyBetweenStartAndStop) {
    EXPECT_EQ(StuffBytes({0xFE, 0xFD, 0xFE, 0xFF, 0x10, 0xFF}),
              (Bytes{0xFE, 0xFD, 0x00, 0xFD, 0x01, 0xFD, 0x02, 0x10, 0xFF}));
    EXPECT_EQ(UnstuffBytes({0xFE, 0xFD, 0x00, 0xFD, 0x01, 0xFD, 0x02, 0x10, 0xFF}),
              (Bytes{0xFE, 0xFD, 0xFE, 0xFF, 0x10, 0xFF}));
    // An escape before an unexpected value stays, and the value is handled on its own.
    EXPECT_EQ(UnstuffBytes({0xFE, 0xFD, 0x03, 0xFF}), (Bytes{0xFE, 0xFD, 0x03, 0xFF}));
    EXPECT_EQ(UnstuffBytes({0xFE, 0xFD, 0xFD, 0x01, 0xFF}), (Bytes{0xFE, 0xFD, 0xFE, 0xFF}));
}

TEST(Stuffing, RandomFramesRoundTripAndStayWithin524Bytes) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> size(0, 255);
    std::uniform_int_distribution<int> special(0xFD, 0xFF);
    for (int round = 0; round < 3000; ++round) {
        Bytes field(static_cast<size_t>(size(random)));
        const bool allSpecial = round % 4 == 0;
        for (auto& b : field) {
            b = static_cast<uint8_t>(allSpecial ? special(random) : byte(random));
        }
        const auto counter = static_cast<uint8_t>(byte(random));
        const auto address = static_cast<uint16_t>(byte(random) << 8 | byte(random));
        const Bytes wire = Build(field, counter, address);
        ASSERT_LE(wire.size(), 524u);
        // Start and stop bytes appear only at the ends.
        for (size_t i = 1; i + 1 < wire.size(); ++i) {
            ASSERT_LT(wire[i], 0xFE) << "round " << round << " at " << i;
        }
        const Bytes plain = UnstuffBytes(wire);
        ASSERT_EQ(plain.size(), field.size() + 8);
        ASSERT_EQ(StuffBytes(plain), wire);
        auto parsed = ParseFrame(wire.data(), static_cast<int32_t>(wire.size()));
        ASSERT_TRUE(parsed->crcOk);
        ASSERT_EQ(Field(*parsed), field);
    }
}

TEST(Stuffing, WorstCaseFrameIs522BytesStuffed) {
    const Bytes field(255, 0xFF);
    const Bytes wire = Build(field, 0xFF, 0xFFFF);
    EXPECT_EQ(UnstuffBytes(wire).size(), 263u);
    EXPECT_EQ(wire.size(), 522u);
    // The CRC 95 74 needs no stuffing and sits right before the stop byte.
    EXPECT_EQ(wire[519], 0x95);
    EXPECT_EQ(wire[520], 0x74);
}

TEST(ParseFrame, ShortAndInconsistentFramesStayInsideTheInput) {
    // Too short for header and CRC.
    const Bytes tiny = {0xFE, 0x00, 0x00, 0xFF};
    auto parsed = ParseFrame(tiny.data(), 4);
    EXPECT_FALSE(parsed->crcOk);
    EXPECT_EQ(parsed->size, 0);
    // Seven bytes after unstuffing, though eight on the wire.
    const Bytes shrinks = {0xFE, 0x00, 0xFD, 0x00, 0x00, 0x00, 0x00, 0xFF};
    EXPECT_FALSE(ParseFrame(shrinks.data(), 8)->crcOk);

    // Length byte 0 gives an empty field with no block.
    const Bytes empty = Build({}, 0);
    parsed = ParseFrame(empty.data(), static_cast<int32_t>(empty.size()));
    EXPECT_EQ(parsed->size, 0);
    EXPECT_EQ(parsed->bytes, nullptr);

    // A length byte larger than the frame: claimed size, bytes past the frame zero. The CRC
    // covers what lies between start byte and CRC, so it still checks.
    Bytes claims = {0xFE, 0x00, 0x00, 0x00, 0x09, 0x41, 0x42, 0x00, 0x00, 0xFF};
    const uint16_t crc = Crc16(claims.data() + 1, 6);
    claims[7] = static_cast<uint8_t>(crc >> 8);
    claims[8] = static_cast<uint8_t>(crc & 0xFF);
    parsed = ParseFrame(claims.data(), static_cast<int32_t>(claims.size()));
    EXPECT_TRUE(parsed->crcOk);
    ASSERT_EQ(parsed->size, 9);
    EXPECT_EQ(Field(*parsed), (Bytes{0x41, 0x42, claims[7], claims[8], 0xFF, 0, 0, 0, 0}));

    // Longer than any assembled frame: refused without reading it.
    const Bytes huge(600, 0x11);
    EXPECT_FALSE(ParseFrame(huge.data(), 600)->crcOk);
}

TEST(ByteBuffer, ResizeKeepsLeadingBytesAndZeroesTheRest) {
    const uint8_t four[] = {1, 2, 3, 4};
    ByteBuffer buffer(4, four);
    buffer.Resize(8);
    ASSERT_EQ(buffer.size, 8);
    EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + 8), (Bytes{1, 2, 3, 4, 0, 0, 0, 0}));
    buffer.Resize(2);
    EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + 2), (Bytes{1, 2}));
    buffer.Resize(-5);
    EXPECT_EQ(buffer.size, 0);
    EXPECT_EQ(buffer.bytes, nullptr);
    EXPECT_EQ(ByteBuffer(-3).size, 0);
}

TEST(ByteBuffer, AssignGrowsButNeverShrinks) {
    const uint8_t data[] = {9, 8, 7, 6, 5, 4};
    ByteBuffer buffer(4);
    EXPECT_TRUE(buffer.Assign(data, 2));
    EXPECT_EQ(buffer.size, 4);
    EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + 4), (Bytes{9, 8, 0, 0}));
    EXPECT_TRUE(buffer.Assign(data, 6));
    EXPECT_EQ(buffer.size, 6);
    EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + 6), (Bytes{9, 8, 7, 6, 5, 4}));
    const uint8_t one[] = {1};
    buffer.Assign(one, 1);
    EXPECT_EQ(Bytes(buffer.bytes.get(), buffer.bytes.get() + 6), (Bytes{1, 8, 7, 6, 5, 4}));
}

}  // namespace
