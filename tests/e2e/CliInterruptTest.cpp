// Ctrl-C in the middle of an update: the running exchange completes, the log's lines stay
// whole, the exit status is 130 and the text says to run the update again; a second run then
// completes the flash. A second Ctrl-C within two seconds ends at once.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "CliProcess.h"
#include "FirmwareFolder.h"
#include "SimUnderTest.h"

namespace {

struct Transport {
    const char* name;
    bool serial;
};
void PrintTo(const Transport& t, std::ostream* os) {
    *os << t.name;
}

class CliInterrupt : public testing::TestWithParam<Transport> {
protected:
    // A coder in its BIOS that answers slowly enough to be caught in the middle of flashing.
    static std::vector<std::string> SimArgs(bool serial) {
        std::vector<std::string> args{"--state", "bios", "--time-scale", "0", "--slow-ms", "3"};
        if (serial) {
            args.insert(args.begin(), "--serial");
        } else {
            args.insert(args.begin(), {"--tcp", "0", "--transfer-mode", "1"});
        }
        return args;
    }
    static std::vector<std::string> Update(const SimUnderTest& device, bool serial,
                                           const FirmwareFolder& files, const std::string& log) {
        return {"update",
                serial ? "--serial" : "--tcp",
                serial ? device.Pty() : "127.0.0.1:" + std::to_string(device.Port()),
                "--firmware-dir",
                files.Path(),
                "--log",
                log,
                "--lang",
                "en",
                "--events",
                "--yes"};
    }
    static std::string Raw(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_P(CliInterrupt, StopsAtABlockBoundaryAndASecondRunCompletes) {
    const bool serial = GetParam().serial;
    FirmwareFolder files(64 * 400, 3000, 2000);
    SimUnderTest device(SimArgs(serial));
    ASSERT_TRUE(device.Ready());

    const std::string log = files.Path() + "interrupted.log";
    CliProcess first(Update(device, serial, files, log));
    ASSERT_TRUE(first.WaitForOutput("\"event\":\"progress\"")) << first.Err();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    first.Signal(SIGINT);
    EXPECT_EQ(first.Wait(), 130) << first.Err();
    const nlohmann::json result = LastJson(first.Out());
    EXPECT_EQ(result["event"], "result");
    EXPECT_EQ(result["exitStatus"], 130);
    EXPECT_EQ(result["result"], 130);
    const std::string message = result.value("message", "");
    EXPECT_NE(message.find("Interrupted by the user at block 8000:"), std::string::npos) << message;
    EXPECT_NE(first.Err().find(message), std::string::npos) << first.Err();

    // Every line of the log is whole: CR LF at its end, frames all hex pairs.
    const std::string raw = Raw(log);
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(raw.substr(raw.size() - 2), "\r\n");
    const std::regex frame("(->|<-) ([0-9A-F]{2},)*[0-9A-F]{2}");
    const std::vector<std::string> lines = ReadLines(log);
    std::string lastFrame;
    for (const std::string& line : lines) {
        if (line.rfind("-> ", 0) == 0 || line.rfind("<- ", 0) == 0) {
            EXPECT_TRUE(std::regex_match(line, frame)) << line;
            lastFrame = line;
        }
    }
    EXPECT_EQ(lastFrame.rfind("<- ", 0), 0u) << "the last exchange got its answer: " << lastFrame;
    EXPECT_NE(lines.back().find("Interrupted by the user at block 8000:"), std::string::npos)
        << lines.back();

    CliProcess second(Update(device, serial, files, files.Path() + "second.log"));
    EXPECT_EQ(second.Wait(), 0) << second.Err();
    EXPECT_EQ(JsonField(second.Out(), "newVersion"), "\"2.16\"");
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());
}

// The first Ctrl-C lands while the coder erases (an exchange of seconds that must complete);
// the second, once the first was seen, ends the program at once.
TEST_P(CliInterrupt, SecondCtrlCEndsAtOnce) {
    const bool serial = GetParam().serial;
    FirmwareFolder files(3000, std::nullopt, 2000);
    std::vector<std::string> args = SimArgs(serial);
    args.insert(args.end(), {"--time-scale", "1", "--erase-ms", "4000"});
    SimUnderTest device(args);
    ASSERT_TRUE(device.Ready());
    CliProcess cli(Update(device, serial, files, files.Path() + "a.log"));
    ASSERT_TRUE(cli.WaitForOutput("\"event\":\"stage\"")) << cli.Err();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cli.Signal(SIGINT);
    ASSERT_TRUE(cli.WaitForOutput("Ctrl-C again", std::chrono::seconds(2), true)) << cli.Err();
    const auto sent = std::chrono::steady_clock::now();
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(std::chrono::seconds(3)), 130) << cli.Err();
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(1));
    EXPECT_NE(cli.Err().find("ended at once by a second interrupt"), std::string::npos)
        << cli.Err();
}

// Ctrl-C while the coder is still being identified: the run ends when the identification has,
// before anything was sent that changes the coder.
TEST_P(CliInterrupt, BeforeTheFlashSequenceNothingChanges) {
    const bool serial = GetParam().serial;
    FirmwareFolder files(3000, std::nullopt, 2000);
    std::vector<std::string> args = SimArgs(serial);
    args.insert(args.end(), {"--slow-ms", "300"});
    SimUnderTest device(args);
    ASSERT_TRUE(device.Ready());
    CliProcess cli(Update(device, serial, files, files.Path() + "a.log"));
    ASSERT_TRUE(cli.WaitForOutput("\"event\":\"status\"")) << cli.Err();
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(), 130) << cli.Err();
    const nlohmann::json result = LastJson(cli.Out());
    EXPECT_EQ(result["exitStatus"], 130);
    EXPECT_NE(result.value("message", "").find("nothing was changed"), std::string::npos) << result;
    EXPECT_FALSE(result.contains("result")) << "no flash sequence ran";
    EXPECT_EQ(device.StopAndDump()[0],
              "region 0 start 0x80000 length 0 sha256 " + FirmwareFolder::Hash({}));
}

INSTANTIATE_TEST_SUITE_P(Transports, CliInterrupt,
                         testing::Values(Transport{"Tcp", false}, Transport{"Serial", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
