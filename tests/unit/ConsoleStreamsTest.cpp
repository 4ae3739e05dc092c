// What the command line needs of the system besides its streams' text: whether a stream is a
// terminal, an end without exit handlers for the signal watcher, and calendar fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "Environment.h"
#include "console/CalendarTime.h"
#include "console/ConsoleOutput.h"
#include "console/EndNow.h"
#include "support/CapturedStream.h"

namespace {

TEST(ConsoleStreams, AFileIsNoTerminalWhateverTermSays) {
    CapturedStream file;
    ASSERT_NE(file.File(), nullptr);
    SetEnvironment("TERM", "xterm-256color");
    EXPECT_FALSE(IsTerminal(file.File()));
    EXPECT_FALSE(RedrawsInPlace(file.File()));
    EXPECT_FALSE(IsTerminal(nullptr));
    SetEnvironment("TERM", nullptr);
}

// The watcher's last words arrive although the process ends without flushing or destructors.
TEST(ConsoleStreamsDeathTest, EndNowWritesTheLastWordsAndEndsWithTheStatus) {
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("exit handler ran", stderr); });
            WriteNow(stderr, "last words\n");
            EndProcessNow(130);
        },
        testing::ExitedWithCode(130), "^last words\n$");
}

TEST(CalendarTime, FieldsOfAKnownMomentAndTheLocalOneRoundTrips) {
    const std::tm leap = UtcCalendarTime(951825600);  // 2000-02-29 12:00:00 UTC
    EXPECT_EQ(leap.tm_year, 100);
    EXPECT_EQ(leap.tm_mon, 1);
    EXPECT_EQ(leap.tm_mday, 29);
    EXPECT_EQ(leap.tm_hour, 12);
    for (const std::time_t moment : {std::time_t{951825600}, std::time(nullptr)}) {
        std::tm local = LocalCalendarTime(moment);
        EXPECT_EQ(std::mktime(&local), moment);
    }
}

}  // namespace
