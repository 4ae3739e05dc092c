#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDirectory.h"
#include "update/FirmwareBlocks.h"
#include "update/FirmwareFileReader.h"

namespace {

std::string Hex(const SegmentOffset& a) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X:%04X", a.segment, a.offset);
    return text;
}

TEST(FirmwareBlocks, CountsAndProgressRanges) {
    EXPECT_EQ(BlockCount(0), 0u);
    EXPECT_EQ(ProgressRange(0), 1u);
    EXPECT_EQ(BlockCount(1), 1u);
    EXPECT_EQ(BlockCount(64), 1u);
    EXPECT_EQ(ProgressRange(64), 2u);
    EXPECT_EQ(BlockCount(100), 2u);
    EXPECT_EQ(ProgressRange(100), 2u);
    EXPECT_EQ(BlockCount(65536), 1024u);
    EXPECT_EQ(BlockCount(65537), 1025u);
    // Beyond 32 bits the arithmetic stays exact.
    EXPECT_EQ(ProgressRange(0x100000000ull), 0x4000001ull);
}

TEST(FirmwareBlocks, AddressesStepBySixtyFourKibibytes) {
    EXPECT_EQ(Hex(BlockAddress(kCoderFirmwareSegment, 0)), "8000:0000");
    EXPECT_EQ(Hex(BlockAddress(kCoderFirmwareSegment, 1)), "8000:0040");
    EXPECT_EQ(Hex(BlockAddress(kCoderFirmwareSegment, 1023)), "8000:FFC0");
    EXPECT_EQ(Hex(BlockAddress(kCoderFirmwareSegment, 1024)), "9000:0000");
    EXPECT_EQ(Hex(BlockAddress(kDspSamplesSegment, 1024)), "DDF0:0000");
    EXPECT_EQ(Hex(BlockAddress(kDspFirmwareSegment, 2 * 1024 + 5)), "F800:0140");
    // Every address is base * 16 + 64k in linear terms.
    for (uint64_t k : {0ull, 17ull, 1023ull, 1024ull, 4095ull, 8191ull}) {
        const SegmentOffset a = BlockAddress(0x8000, k);
        EXPECT_EQ(a.segment * 16ull + a.offset, 0x80000ull + 64 * k) << k;
    }
}

TEST(FirmwareBlocks, SegmentSpace) {
    // The DSP firmware has 0x28000 bytes up to FFFFF.
    EXPECT_TRUE(FitsSegmentSpace(kDspFirmwareSegment, 0x28000));
    EXPECT_EQ(SegmentSpaceError(kDspFirmwareSegment, 0x28000), "");
    EXPECT_FALSE(FitsSegmentSpace(kDspFirmwareSegment, 0x28001));
    EXPECT_EQ(SegmentSpaceError(kDspFirmwareSegment, 0x28001),
              "File too large: 163841 bytes from segment D800 would pass address FFFFF (room "
              "for 163840 bytes)");
    EXPECT_TRUE(FitsSegmentSpace(kCoderFirmwareSegment, 0x80000));
    EXPECT_FALSE(FitsSegmentSpace(kCoderFirmwareSegment, 0x80001));
    EXPECT_TRUE(FitsSegmentSpace(0xFFFF, 16));
    EXPECT_FALSE(FitsSegmentSpace(0xFFFF, 17));
    EXPECT_TRUE(FitsSegmentSpace(0xFFFF, 0));
    EXPECT_FALSE(FitsSegmentSpace(kCoderFirmwareSegment, UINT64_MAX));
}

TEST(FirmwareBlocks, ImagesThatCannotBeRightAreRefused) {
    // Each image ends where the next begins: coder 0x80000..0xCDEFF, samples ..0xD7FFF.
    struct Case {
        uint16_t base;
        uint64_t size;
        bool refused;
    };
    for (const Case& c :
         {Case{kCoderFirmwareSegment, 0, true}, Case{kDspSamplesSegment, 0, true},
          Case{kDspFirmwareSegment, 0, true}, Case{kCoderFirmwareSegment, 0x4DF00, false},
          Case{kCoderFirmwareSegment, 0x4DF01, true}, Case{kCoderFirmwareSegment, 0x80000, true},
          Case{kDspSamplesSegment, 0xA100, false}, Case{kDspSamplesSegment, 0xA101, true},
          Case{kDspFirmwareSegment, 0x28000, false}}) {
        EXPECT_EQ(SegmentSpaceError(c.base, c.size).empty(), !c.refused)
            << std::hex << c.base << " size " << c.size;
    }
    EXPECT_EQ(SegmentSpaceError(kCoderFirmwareSegment, 319296),
              "File too large: 319296 bytes from segment 8000 would pass address CDEFF, where "
              "the next image begins (room for 319232 bytes)");
    EXPECT_EQ(SegmentSpaceError(kDspSamplesSegment, 0),
              "Empty file: a firmware image of 0 bytes cannot be flashed");
}

struct ReadBlocks {
    std::vector<int32_t> counts;
    std::vector<uint8_t> bytes;
    FirmwareFileReader::ReadResult last;
};

ReadBlocks ReadAll(FirmwareFileReader& reader) {
    ReadBlocks result;
    uint8_t block[kFirmwareBlockSize];
    for (;;) {
        int32_t count = -1;
        result.last = reader.ReadBlock(block, count);
        if (result.last != FirmwareFileReader::ReadResult::Block) {
            EXPECT_EQ(count, 0);
            return result;
        }
        result.counts.push_back(count);
        result.bytes.insert(result.bytes.end(), block, block + count);
    }
}

TEST(FirmwareFileReader, CutsFilesIntoBlocks) {
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    FirmwareFileReader reader;

    ASSERT_TRUE(reader.Open(dir.WriteFile("empty.img", 0)));
    EXPECT_EQ(reader.Size(), 0u);
    ReadBlocks empty = ReadAll(reader);
    EXPECT_TRUE(empty.counts.empty());
    EXPECT_EQ(empty.last, FirmwareFileReader::ReadResult::EndOfFile);

    ASSERT_TRUE(reader.Open(dir.WriteFile("hundred.img", 100)));
    EXPECT_EQ(reader.Size(), 100u);
    ReadBlocks hundred = ReadAll(reader);
    EXPECT_EQ(hundred.counts, (std::vector<int32_t>{64, 36}));
    EXPECT_EQ(hundred.last, FirmwareFileReader::ReadResult::EndOfFile);
    ASSERT_EQ(hundred.bytes.size(), 100u);
    EXPECT_EQ(hundred.bytes[63], 63);
    EXPECT_EQ(hundred.bytes[99], 99);

    ASSERT_TRUE(reader.Open(dir.WriteFile("big.img", 65537)));
    ReadBlocks big = ReadAll(reader);
    ASSERT_EQ(big.counts.size(), BlockCount(65537));
    EXPECT_EQ(big.counts.back(), 1);
    EXPECT_EQ(big.bytes[65536], 0);  // 65536 & 0xFF
    EXPECT_EQ(big.bytes[65535], 0xFF);

    EXPECT_FALSE(reader.Open(dir.Path() + "missing.img"));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(reader.OpenError().empty());
    // Names beyond ASCII are UTF-8 on every platform.
    ASSERT_TRUE(reader.Open(dir.WriteFile("Cöder_Größe_€.img", 65)));
    EXPECT_TRUE(reader.OpenError().empty());
    EXPECT_EQ(ReadAll(reader).counts, (std::vector<int32_t>{64, 1}));
}

TEST(FirmwareFileReader, TruncatedAfterOpenEndsEarly) {
    TempDirectory dir;
    FirmwareFileReader reader;
    const std::string path = dir.WriteFile("shrinking.img", 200);
    ASSERT_TRUE(reader.Open(path));
    std::error_code resized;
    std::filesystem::resize_file(PathFromUtf8(path), 70, resized);
#ifdef _WIN32
    // Windows: the reader shares the image for reading only, so nobody shrinks it meanwhile.
    ASSERT_TRUE(resized) << "the image was cut while it was being read";
    EXPECT_EQ(ReadAll(reader).counts, (std::vector<int32_t>{64, 64, 64, 8}));
    return;
#endif
    ASSERT_FALSE(resized) << resized.message();
    ReadBlocks blocks = ReadAll(reader);
    EXPECT_EQ(blocks.counts, (std::vector<int32_t>{64, 6}));
    EXPECT_EQ(blocks.last, FirmwareFileReader::ReadResult::EndOfFile);
    // The caller can see that fewer bytes came than Open announced.
    EXPECT_EQ(reader.Size(), 200u);
}

TEST(FirmwareFileReader, ReadErrorIsNotEndOfFile) {
    TempDirectory dir;
    FirmwareFileReader reader;
    // A directory opens for reading but is no regular file, and every read fails.
    ASSERT_TRUE(reader.Open(dir.Path()));
    EXPECT_FALSE(reader.IsRegular());
    uint8_t block[kFirmwareBlockSize];
    int32_t count = -1;
    EXPECT_EQ(reader.ReadBlock(block, count), FirmwareFileReader::ReadResult::Error);
    EXPECT_EQ(count, 0);
    // And stays failed.
    EXPECT_EQ(reader.ReadBlock(block, count), FirmwareFileReader::ReadResult::Error);
    reader.Close();
    EXPECT_EQ(reader.ReadBlock(block, count), FirmwareFileReader::ReadResult::Error);
}

// Fails the read after `goodReads` successful ones, as a failing disk would in mid-file, and
// reads well again afterwards.
class FailingReader : public FirmwareFileReader {
public:
    explicit FailingReader(int goodReads) : goodReads_(goodReads) {}

protected:
    ReadStatus ReadSome(uint8_t* dest, size_t count, size_t& got) override {
        if (goodReads_-- == 0) {
            got = 0;
            return ReadStatus::Failed;
        }
        return FirmwareFileReader::ReadSome(dest, count, got);
    }

private:
    int goodReads_;
};

TEST(FirmwareFileReader, ReadErrorInMidFileFailsInsteadOfTruncating) {
    TempDirectory dir;
    const std::string path = dir.WriteFile("firmware.img", 300);
    FailingReader reader(2);
    ASSERT_TRUE(reader.Open(path));
    ReadBlocks blocks = ReadAll(reader);
    EXPECT_EQ(blocks.counts, (std::vector<int32_t>{64, 64}));
    EXPECT_EQ(blocks.last, FirmwareFileReader::ReadResult::Error);
    // The file would read again, but where it stands is unknown: it stays failed.
    uint8_t block[kFirmwareBlockSize];
    int32_t count = -1;
    EXPECT_EQ(reader.ReadBlock(block, count), FirmwareFileReader::ReadResult::Error);
    EXPECT_EQ(count, 0);
}

// Hands out the file a few bytes at a time, with an interruption now and then.
class TricklingReader : public FirmwareFileReader {
protected:
    ReadStatus ReadSome(uint8_t* dest, size_t count, size_t& got) override {
        if (++calls_ % 3 == 0) {
            got = 0;
            return ReadStatus::Interrupted;
        }
        return FirmwareFileReader::ReadSome(dest, count < 5 ? count : 5, got);
    }

private:
    int calls_ = 0;
};

TEST(FirmwareFileReader, ShortReadsStillMakeWholeBlocks) {
    TempDirectory dir;
    TricklingReader reader;
    ASSERT_TRUE(reader.Open(dir.WriteFile("firmware.img", 150)));
    ReadBlocks blocks = ReadAll(reader);
    EXPECT_EQ(blocks.counts, (std::vector<int32_t>{64, 64, 22}));
    EXPECT_EQ(blocks.last, FirmwareFileReader::ReadResult::EndOfFile);
    ASSERT_EQ(blocks.bytes.size(), 150u);
    EXPECT_EQ(blocks.bytes[149], 149);
}

}  // namespace
