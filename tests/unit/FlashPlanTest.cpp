#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "BlockingPipe.h"
#include "TempDirectory.h"
#include "update/FirmwareFileReader.h"
#include "update/FlashPlan.h"
#include "update/UpdateCodes.h"

namespace {

struct PlanCase {
    const char* name;
    bool samples;
    bool dsp;
    std::vector<const char*> labels;
    std::vector<uint16_t> segments;
    std::vector<int> regions;
};

class FlashPlanShape : public ::testing::TestWithParam<PlanCase> {};

TEST_P(FlashPlanShape, StagesLabelsSegmentsAndRegions) {
    const PlanCase& c = GetParam();
    const FlashPlan plan("/f/Coder_V02_16.img", c.samples ? "/f/s.smp" : "",
                         c.dsp ? "/f/d.dsp" : "");
    ASSERT_EQ(plan.Stages().size(), c.labels.size());
    for (size_t i = 0; i < c.labels.size(); ++i) {
        const int number = static_cast<int>(i + 1);
        EXPECT_EQ(plan.Stages()[i].number, number);
        EXPECT_EQ(plan.Label(number, Language::English), c.labels[i]);
        EXPECT_EQ(plan.Stages()[i].segmentBase, c.segments[i]);
    }
    EXPECT_EQ(plan.EraseRegions(), c.regions);
    EXPECT_EQ(plan.Label(static_cast<int>(c.labels.size()) + 1, Language::English), "");
}

INSTANTIATE_TEST_SUITE_P(
    Files, FlashPlanShape,
    ::testing::Values(PlanCase{"CoderOnly", false, false, {"1. Coder firmware"}, {0x8000}, {0, 1}},
                      PlanCase{"CoderAndDsp",
                               false,
                               true,
                               {"1. Coder firmware", "2. DSP firmware"},
                               {0x8000, 0xD800},
                               {0, 1, 2}},
                      PlanCase{"AllThree",
                               true,
                               true,
                               {"1. Coder firmware", "2. DSP samples", "3. DSP firmware"},
                               {0x8000, 0xCDF0, 0xD800},
                               {0, 1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FlashPlan, CodesAndLogLinesFollowTheFile) {
    const FlashPlan plan("c.img", "s.smp", "d.dsp");
    ASSERT_EQ(plan.Stages().size(), 3u);
    EXPECT_EQ(plan.Stage(1)->openFailedCode, UPD_CODER_FILE_OPEN_FAILED);
    EXPECT_EQ(plan.Stage(2)->flashFailedCode, UPD_SAMPLES_FLASH_FAILED);
    EXPECT_EQ(plan.Stage(3)->openFailedCode, UPD_DSP_FILE_OPEN_FAILED);
    EXPECT_STREQ(plan.Stage(3)->startLine, "Start flashing DSP firmware...");
    EXPECT_STREQ(plan.Stage(2)->openFailedLine, "Failed to open DSP samples file!");
    EXPECT_EQ(plan.Label(2, Language::German), "2. DSP-Samples");
    EXPECT_TRUE(FlashPlan("", "s.smp", "d.dsp").Empty());
}

TEST(FlashPlan, FileChecksRefuseWhatCannotBeFlashedWhole) {
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    const std::string good = dir.WriteFile("good.img", 130);
    const std::string empty = dir.WriteFile("empty.img", 0);
    const std::string large = dir.WriteFile("large.img", 0x4DF00 + 1);
    BlockingPipe fifo(dir.Path(), "fifo.dsp");
    ASSERT_TRUE(fifo.Valid());

    const FileCheck ok = CheckFirmwareFile(good, 0x8000);
    EXPECT_TRUE(ok.opened);
    EXPECT_EQ(ok.size, 130u);
    EXPECT_EQ(ok.problem, "");

    EXPECT_NE(CheckFirmwareFile(empty, 0x8000).problem.find("Empty file"), std::string::npos);
    EXPECT_NE(CheckFirmwareFile(large, 0x8000).problem.find("File too large"), std::string::npos);
    EXPECT_EQ(CheckFirmwareFile(dir.Path(), 0x8000).problem, "not a regular file");
    const FileCheck missing = CheckFirmwareFile(dir.Path() + "none.img", 0x8000);
    EXPECT_FALSE(missing.opened);
    // The system's own words ("No such file or directory" on Linux), as the reader has them.
    FirmwareFileReader reader;
    ASSERT_FALSE(reader.Open(dir.Path() + "none.img"));
    EXPECT_FALSE(missing.problem.empty());
    EXPECT_EQ(missing.problem, reader.OpenError());

    // Opening a FIFO for reading, or reading a pipe, waits for a writer unless told not to: the
    // check must not.
    auto check =
        std::async(std::launch::async, [&] { return CheckFirmwareFile(fifo.Path(), 0xD800); });
    if (check.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        fifo.Release();  // lets the blocked open or read return
        FAIL() << "the check of a FIFO blocked";
    }
    EXPECT_EQ(check.get().problem, "not a regular file");
}

TEST(FlashPlan, CheckKeepsWhatItFoundAndNamesTheFirstRefusal) {
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    const std::string coder = dir.WriteFile("c.img", 130);
    const std::string samples = dir.WriteFile("s.smp", 0xA101);  // one byte past its space
    FlashPlan plan(coder, samples, dir.Path());
    const FlashStage* refused = plan.Check();
    ASSERT_EQ(refused, plan.Stage(2)) << "the first refused file in flashing order";
    EXPECT_EQ(plan.Stage(1)->Blocks(), 3u);
    EXPECT_EQ(refused->check.logLine, refused->check.problem);
    EXPECT_EQ(plan.Stage(3)->check.logLine, "Not a regular file: " + dir.Path());

    EXPECT_EQ(FlashPlan(coder, "", "").Check(), nullptr);
    FlashPlan missing(dir.Path() + "none.img", "", "");
    EXPECT_EQ(missing.Check()->check.logLine, "") << "a failed open is said by the stage's line";
    // Without a coder firmware nothing may start: refused like a coder file that is not there.
    FlashPlan none("", "", dir.Path() + "d.dsp");
    ASSERT_NE(none.Check(), nullptr);
    EXPECT_EQ(none.Check()->openFailedCode, UPD_CODER_FILE_OPEN_FAILED);
    EXPECT_FALSE(none.Check()->check.opened);
}

}  // namespace
