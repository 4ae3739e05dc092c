// The logs before the current one are kept beside it: names, the order over more runs than are
// kept, what is left alone, and a rotation that fails without taking the new log with it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "BlockingPipe.h"
#include "TempDirectory.h"
#include "update/LogRotation.h"
#include "update/UpdateProcedure.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(LogRotation, GenerationGoesBeforeTheExtension) {
    struct Case {
        const char* path;
        int generation;
        const char* rotated;
    };
    for (const Case& c : {Case{"/srv/fw/TarvelinLog.txt", 1, "/srv/fw/TarvelinLog.1.txt"},
                          Case{"TarvelinLog.txt", 4, "TarvelinLog.4.txt"},
                          Case{"logs/c1.identify.log", 2, "logs/c1.identify.2.log"},
                          Case{"/tmp/run", 3, "/tmp/run.3"}, Case{"/tmp/.log", 1, "/tmp/.log.1"}}) {
        EXPECT_EQ(RotatedLogPath(c.path, c.generation), c.rotated) << c.path;
    }
}

TEST(LogRotation, KeepsTheFourNewestInOrder) {
    TempDirectory dir;
    const std::string log = dir.Path() + kLogFileName;
    for (int run = 1; run <= 6; ++run) {
        EXPECT_FALSE(RotateLogs(log).Failed()) << "run " << run;
        Write(log, "run " + std::to_string(run) + "\r\n");
    }
    EXPECT_EQ(ReadWhole(log), "run 6\r\n");
    for (int generation = 1; generation <= kKeptLogs; ++generation) {
        EXPECT_EQ(ReadWhole(RotatedLogPath(log, generation)),
                  "run " + std::to_string(6 - generation) + "\r\n");
    }
    EXPECT_FALSE(std::filesystem::exists(RotatedLogPath(log, kKeptLogs + 1)));
}

TEST(LogRotation, LeavesMissingEmptyAndSpecialFilesAlone) {
    TempDirectory dir;
    const std::string log = dir.Path() + "a.log";
    EXPECT_FALSE(RotateLogs(log).Failed());  // no log yet
    Write(log, "");
    Write(RotatedLogPath(log, 1), "the failed run\r\n");
    EXPECT_FALSE(RotateLogs(log).Failed());
    // An empty log holds no record: moving it would push a real one out.
    EXPECT_EQ(ReadWhole(RotatedLogPath(log, 1)), "the failed run\r\n");
    EXPECT_TRUE(std::filesystem::exists(log));

    BlockingPipe fifo(dir.Path(), "fifo.log");
    ASSERT_TRUE(fifo.Valid());
    EXPECT_FALSE(RotateLogs(fifo.Path()).Failed());
    EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(fifo.Path())));
    EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(RotatedLogPath(fifo.Path(), 1))));
}

class NoSink : public ProcedureSink {
public:
    void Post(uint32_t, int64_t, int64_t) override {}
    void SetIdentifyStatus(int) override {}
};

// The oldest generation is a folder (root cannot rename a file onto one either): nothing can
// move, so the new log replaces the previous one, says so in its first line, and is written.
TEST(LogRotation, AFailureIsSaidAndTheNewLogIsStillWritten) {
    TempDirectory dir;
    const std::string log = dir.Path() + kLogFileName;
    Write(log, "previous run\r\n");
    Write(RotatedLogPath(log, 1), "older run\r\n");
    Write(RotatedLogPath(log, 3), "oldest run\r\n");
    std::filesystem::create_directory(RotatedLogPath(log, 4));
    Write(RotatedLogPath(log, 4) + "/inside", "x");

    NoSink sink;
    UpdateProcedure procedure(sink);
    procedure.SetLogPath(log);
    ASSERT_TRUE(procedure.OpenLogFile());
    const LogRotation& problem = procedure.LogRotationProblem();
    ASSERT_TRUE(problem.Failed());
    EXPECT_EQ(problem.stuck, RotatedLogPath(log, 3));
    procedure.WriteLog("Use TCP/IP connection");
    EXPECT_EQ(ReadWhole(log), "The previous log could not be kept (" + problem.stuck + ": " +
                                  problem.reason +
                                  "); this log replaces it\r\nUse TCP/IP connection\r\n");
    EXPECT_EQ(ReadWhole(RotatedLogPath(log, 1)), "older run\r\n") << "no older log is lost";
    EXPECT_EQ(ReadWhole(RotatedLogPath(log, 3)), "oldest run\r\n");

    // Once the way is clear, the next identification keeps this log.
    std::filesystem::remove_all(RotatedLogPath(log, 4));
    ASSERT_TRUE(procedure.OpenLogFile());
    EXPECT_FALSE(procedure.LogRotationProblem().Failed());
    EXPECT_EQ(ReadWhole(RotatedLogPath(log, 2)), "older run\r\n");
    EXPECT_EQ(ReadWhole(RotatedLogPath(log, 4)), "oldest run\r\n");
    EXPECT_NE(ReadWhole(RotatedLogPath(log, 1)).find("Use TCP/IP connection"), std::string::npos);
    EXPECT_EQ(ReadWhole(log), "");
}

}  // namespace
