#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TempDirectory.h"
#include "update/LogRotation.h"
#include "update/UpdateLog.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(UpdateLog, LinesAndFramesEndInCrLf) {
    TempDirectory dir;
    ASSERT_TRUE(dir.Valid());
    const std::string path = dir.Path() + kLogFileName;
    UpdateLog log;
    EXPECT_FALSE(log.IsOpen());
    ASSERT_TRUE(log.Open(path));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(log.Path(), path);

    log.WriteLine("Connecting Coder...");
    const uint8_t sent[] = {0xFE, 0x01, 0xFF};
    log.WriteFrame(sent, 3, 1);
    const uint8_t received[] = {0xfe, 0x00, 0x0a, 0xff};
    log.WriteFrame(received, 4, 0);
    log.WriteLine("");
    log.WriteFrame(sent, 0, 7);
    // Flushed line by line: the file holds everything before Close.
    EXPECT_EQ(ReadWhole(path),
              "Connecting Coder...\r\n-> FE,01,FF\r\n<- FE,00,0A,FF\r\n\r\n-> \r\n");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    // Closed: lines are dropped.
    log.WriteLine("lost");
    EXPECT_EQ(ReadWhole(path).find("lost"), std::string::npos);
}

TEST(UpdateLog, SecondOpenEmptiesTheFile) {
    TempDirectory dir;
    const std::string path = dir.Path() + kLogFileName;
    UpdateLog log;
    ASSERT_TRUE(log.Open(path));
    log.WriteLine("first identification");
    ASSERT_TRUE(log.Open(path));
    EXPECT_EQ(ReadWhole(path), "");
    log.WriteLine("second identification");
    EXPECT_EQ(ReadWhole(path), "second identification\r\n");
}

// The next identification keeps this log as the previous one while it is still open, and
// another program may read it meanwhile.
TEST(UpdateLog, AnOpenLogIsReadAndMovedAside) {
    TempDirectory dir;
    const std::string path = dir.Path() + "Cöder-Log.txt";
    UpdateLog log;
    ASSERT_TRUE(log.Open(path));
    log.WriteLine("first identification");
    EXPECT_EQ(ReadWhole(path), "first identification\r\n");
    const LogRotation rotation = RotateLogs(path);
    EXPECT_FALSE(rotation.Failed()) << rotation.stuck << ": " << rotation.reason;
    ASSERT_TRUE(log.Open(path));
    log.WriteLine("second identification");
    EXPECT_EQ(ReadWhole(RotatedLogPath(path, 1)), "first identification\r\n");
    EXPECT_EQ(ReadWhole(path), "second identification\r\n");
}

TEST(UpdateLog, UnopenableFileDropsLinesSilently) {
    TempDirectory dir;
    const std::string notADirectory = dir.WriteFile("plain-file");
    UpdateLog log;
    // Works as root too: the parent is a file or does not exist.
    EXPECT_FALSE(log.Open(notADirectory + "/" + kLogFileName));
    EXPECT_FALSE(log.IsOpen());
    log.WriteLine("Connecting Coder...");
    const uint8_t frame[] = {0xFE, 0xFF};
    log.WriteFrame(frame, 2, 1);
    EXPECT_FALSE(log.Open(dir.Path() + "missing/" + kLogFileName));
    log.WriteLine("still nothing");
    EXPECT_EQ(ReadWhole(notADirectory), "");

    // An open log that is reopened onto a bad path is closed, not kept.
    ASSERT_TRUE(log.Open(dir.Path() + kLogFileName));
    EXPECT_FALSE(log.Open(dir.Path() + "missing/" + kLogFileName));
    log.WriteLine("after the failed reopen");
    EXPECT_EQ(ReadWhole(dir.Path() + kLogFileName), "");
}

TEST(UpdateLog, ConcurrentWritersNeverInterleave) {
    TempDirectory dir;
    const std::string path = dir.Path() + kLogFileName;
    UpdateLog log;
    ASSERT_TRUE(log.Open(path));
    constexpr int kLines = 2000;
    // Long lines make a torn write likely if the lock were missing.
    const std::string procedure(300, 'p');
    std::vector<uint8_t> frame(150, 0xAB);
    std::thread worker([&] {
        for (int i = 0; i < kLines; ++i) {
            log.WriteLine(procedure + std::to_string(i));
        }
    });
    std::thread gui([&] {
        for (int i = 0; i < kLines; ++i) {
            frame[0] = static_cast<uint8_t>(i);
            log.WriteFrame(frame.data(), static_cast<int32_t>(frame.size()), i % 2);
        }
    });
    worker.join();
    gui.join();
    log.Close();

    std::string frameTail;
    for (int i = 1; i < 150; ++i) {
        frameTail += ",AB";
    }
    std::istringstream in(ReadWhole(path));
    std::string line;
    int procedureLines = 0;
    int frameLines = 0;
    int nextProcedure = 0;
    while (std::getline(in, line, '\n')) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << line;
        line.pop_back();
        if (line[0] == 'p') {
            ASSERT_EQ(line, procedure + std::to_string(nextProcedure++));
            ++procedureLines;
        } else {
            ASSERT_TRUE(line.rfind("-> ", 0) == 0 || line.rfind("<- ", 0) == 0) << line;
            ASSERT_EQ(line.size(), 3 + 150 * 3 - 1) << line;
            // The first byte counts the frames, the rest is 149 times AB.
            ASSERT_EQ(line.substr(5), frameTail) << line;
            ++frameLines;
        }
    }
    EXPECT_EQ(procedureLines, kLines);
    EXPECT_EQ(frameLines, kLines);
}

}  // namespace
