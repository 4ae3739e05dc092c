// The lines redrawn in place on a terminal: the progress bar fits any width and sheds its parts
// in order, the wait line counts down in one line, and the width when there is no terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "Environment.h"
#include "cli/ProgressDisplay.h"
#include "cli/WaitCountdown.h"
#include "console/DisplayWidth.h"
#include "console/TerminalWidth.h"
#include "support/CapturedStream.h"

namespace {

TEST(ProgressLine, FitsEveryWidthAndShedsTheLeastUsefulFirst) {
    const ProgressFigures known{33, 79, 41, 6400, 65};
    struct Case {
        int width;
        std::vector<const char*> has;
        std::vector<const char*> lacks;
    };
    const Case cases[] = {
        {100, {"  [", "] ", " 41 %", "33/79 blocks", "6.2 KiB/s", "1:05 left"}, {}},
        {59, {"[", "33/79 blocks", "6.2 KiB/s", "1:05 left"}, {}},
        {58, {"[", "6.2 KiB/s", "1:05 left"}, {"blocks"}},
        {40, {"[", "41 %", "1:05 left"}, {"blocks", "KiB/s"}},
        {25, {"  ", "41 %", "1:05 left"}, {"[", "KiB/s"}},
        {18, {"41 %", "1:05 left"}, {"["}},
        {8, {"41 %"}, {"left"}},
    };
    for (const Case& c : cases) {
        const std::string line = ProgressLine(known, c.width);
        for (const char* part : c.has) {
            EXPECT_NE(line.find(part), std::string::npos) << c.width << ": '" << line << "'";
        }
        for (const char* part : c.lacks) {
            EXPECT_EQ(line.find(part), std::string::npos) << c.width << ": '" << line << "'";
        }
    }
    EXPECT_EQ(ProgressLine(known, 100).substr(2, 32), "[############..................]");
    for (int width = 0; width <= 120; ++width) {
        EXPECT_LE(ProgressLine(known, width).size(), static_cast<size_t>(width)) << width;
    }
    // Before the rate is known the bar is as wide as after, so it does not jump.
    const ProgressFigures unknown{0, 79, 0, -1, -1};
    for (const int width : {40, 60, 100}) {
        const std::string line = ProgressLine(unknown, width);
        EXPECT_EQ(line.find("KiB/s"), std::string::npos) << line;
        EXPECT_EQ(line.find("left"), std::string::npos) << line;
        EXPECT_EQ(line.find(']'), ProgressLine(known, width).find(']')) << width;
    }
    EXPECT_EQ(RateText(150 * 1024), "150 KiB/s");
}

using Captured = CapturedStream;

std::string Count(int64_t seconds) {
    return "Waiting: " + std::to_string(seconds) + " s";
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class WaitCountdownTest : public testing::TestWithParam<bool> {};

// Two waits of one key in a row share their line; another key begins a line of its own.
TEST_P(WaitCountdownTest, AWaitThatGoesOnStaysInItsLine) {
    const bool terminal = GetParam();
    Captured out;
    {
        WaitCountdown waits(out.File(), terminal, true, [] { return 80; });
        waits.Begin(1, 5000, Count);
        waits.End();
        waits.Begin(1, 5000, Count);
        waits.End();
        waits.Begin(2, 9000, Count);
        waits.End();
    }
    const std::string text = out.Text();
    EXPECT_EQ(Occurrences(text, "\n"), 2u) << text;
    EXPECT_EQ(text.find("Waiting: 9 s"), text.find('\n') + 1 + (terminal ? 1 : 0)) << text;
    if (terminal) {
        EXPECT_EQ(text.rfind("\rWaiting: 5 s\x1b[K", 0), 0u) << text;
    } else {
        EXPECT_EQ(text, "Waiting: 5 s\nWaiting: 9 s\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Output, WaitCountdownTest, testing::Bool(),
                         [](const auto& info) { return info.param ? "Terminal" : "Pipe"; });

TEST(WaitCountdown, CountsDownInPlaceWithinTheWidth) {
    Captured out;
    WaitCountdown waits(out.File(), true, true, [] { return 11; });
    waits.Begin(1, 1500, Count);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (out.Text().find("Waiting: 1") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        waits.Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Another line clears the count; the next tick draws it again.
    waits.MakeRoom();
    waits.Tick();
    waits.End();
    waits.MakeRoom();
    const std::string text = out.Text();
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
    // Cut to 10 columns: nothing is written into the last one.
    EXPECT_EQ(text, "\rWaiting: 2\x1b[K\rWaiting: 1\x1b[K\r\x1b[K\rWaiting: 1\x1b[K\n");
}

// The window size itself is read by the end-to-end runs on a pseudo-terminal.
TEST(TerminalWidth, WithoutATerminalColumnsElseEighty) {
    SetEnvironment("COLUMNS", "57");
    EXPECT_EQ(TerminalWidth(nullptr), 57);
    SetEnvironment("COLUMNS", "57x");
    EXPECT_EQ(TerminalWidth(nullptr), 80);
    SetEnvironment("COLUMNS", nullptr);
    EXPECT_EQ(TerminalWidth(nullptr), 80);

    EXPECT_EQ(DisplayWidth("Flash-Speicher wird gelöscht"), 28u);
    EXPECT_EQ(CutToWidth("gelöscht", 4), "gelö");
    EXPECT_EQ(CutToWidth("gelöscht", 3), "gel");
    EXPECT_EQ(CutToWidth("ab", 5), "ab");
}

}  // namespace
