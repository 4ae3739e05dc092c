#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/FlashMemory.h"
#include "sim/Sha256.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(FlashMemory, RegionsByLinearAddress) {
    EXPECT_EQ(FlashMemory::RegionOf(0x7FFFF), -1);
    EXPECT_EQ(FlashMemory::RegionOf(0x80000), 0);
    EXPECT_EQ(FlashMemory::RegionOf(0xCDEFF), 0);
    EXPECT_EQ(FlashMemory::RegionOf(0xCDF00), 1);
    EXPECT_EQ(FlashMemory::RegionOf(0xD7FFF), 1);
    EXPECT_EQ(FlashMemory::RegionOf(0xD8000), 2);
    EXPECT_EQ(FlashMemory::RegionOf(0xFFFFF), 2);
    EXPECT_EQ(FlashMemory::RegionOf(0x100000), -1);
}

TEST(FlashMemory, WritesNeedAnEraseSinceTheLastReset) {
    FlashMemory flash;
    const Bytes data(64, 0x5A);
    EXPECT_EQ(flash.Write(0x80000, data.data(), 64), FlashMemory::kAckVerifyFailed);
    EXPECT_EQ(flash.WrittenLength(0), 0u);
    ASSERT_TRUE(flash.Erase(0));
    EXPECT_EQ(flash.Write(0x80000, data.data(), 64), FlashMemory::kAckDone);
    // Region 1 was never erased, so a block straddling into it fails.
    EXPECT_EQ(flash.Write(0xCDEE0, data.data(), 64), FlashMemory::kAckVerifyFailed);
    flash.Reset();
    EXPECT_FALSE(flash.Erased(0));
    EXPECT_EQ(flash.Write(0x80040, data.data(), 64), FlashMemory::kAckVerifyFailed);
    EXPECT_FALSE(flash.Erase(3));
}

TEST(FlashMemory, OutsideTheFlashIsOutOfRange) {
    FlashMemory flash;
    for (int r = 0; r < FlashMemory::kRegionCount; ++r) {
        flash.Erase(r);
    }
    const Bytes data(64, 0);
    EXPECT_EQ(flash.Write(0x7FFC0, data.data(), 64), FlashMemory::kAckOutOfRange);
    EXPECT_EQ(flash.Write(0xFFFE0, data.data(), 64), FlashMemory::kAckOutOfRange);  // runs past
    EXPECT_EQ(flash.Write(0xFFFC0, data.data(), 64), FlashMemory::kAckDone);
    EXPECT_EQ(flash.WrittenLength(2), 0x100000u - 0xD8000u);
}

TEST(FlashMemory, BitsCanOnlyBeClearedSoRewritingOtherDataFailsVerify) {
    FlashMemory flash;
    flash.Erase(1);
    const Bytes first{0xF0, 0x0F};
    const Bytes same{0xF0, 0x0F};
    const Bytes other{0x0F, 0x0F};
    EXPECT_EQ(flash.Write(0xCDF00, first.data(), 2), FlashMemory::kAckDone);
    EXPECT_EQ(flash.Write(0xCDF00, same.data(), 2), FlashMemory::kAckDone);  // a retried block
    EXPECT_EQ(flash.Write(0xCDF00, other.data(), 2), FlashMemory::kAckVerifyFailed);
    EXPECT_EQ(flash.WrittenBytes(1), (Bytes{0x00, 0x0F}));
}

TEST(FlashMemory, WrittenExtentAndDumpMatchTheImage) {
    FlashMemory flash;
    flash.Erase(0);
    Bytes image(200);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 7);
    }
    for (uint32_t at = 0; at < image.size(); at += 64) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(64, image.size() - at));
        ASSERT_EQ(flash.Write(0x80000 + at, image.data() + at, n), 0);
    }
    EXPECT_EQ(flash.WrittenBytes(0), image);
    const std::string expected =
        "region 0 start 0x80000 length 200 sha256 " + Sha256::Hex(image.data(), image.size()) +
        "\nregion 1 start 0xCDF00 length 0 sha256 "
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\n"
        "region 2 start 0xD8000 length 0 sha256 "
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\n";
    EXPECT_EQ(flash.DumpText(), expected);
    flash.Erase(0);
    EXPECT_EQ(flash.WrittenLength(0), 0u);
}

TEST(FlashMemory, VersionMarkerInTheCoderImage) {
    FlashMemory flash;
    flash.Erase(0);
    flash.Erase(1);
    EXPECT_FALSE(flash.FindVersionMarker().has_value());
    // A marker cut off at the end of the written image, or followed by control bytes, is none.
    const std::string cut = "xxTVERV2.1";
    flash.Write(0x80000, reinterpret_cast<const uint8_t*>(cut.data()),
                static_cast<int32_t>(cut.size()));
    EXPECT_FALSE(flash.FindVersionMarker().has_value());
    const std::string marked = "xxTVER\x01\x02\x03\x04\x05..TVERV2.16 rest";
    flash.Erase(0);
    flash.Write(0x80100, reinterpret_cast<const uint8_t*>(marked.data()),
                static_cast<int32_t>(marked.size()));
    EXPECT_EQ(flash.FindVersionMarker().value_or(""), "V2.16");
    // Only the coder image counts, not the DSP regions.
    flash.Erase(0);
    flash.Write(0xCDF00, reinterpret_cast<const uint8_t*>(marked.data()),
                static_cast<int32_t>(marked.size()));
    EXPECT_FALSE(flash.FindVersionMarker().has_value());
}

}  // namespace
