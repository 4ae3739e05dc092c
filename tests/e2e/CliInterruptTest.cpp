// Ctrl-C, SIGTERM or SIGHUP in the middle of an update: the running exchange completes, the
// log's lines stay whole, the exit status is 128 + the signal and the text says to run the
// update again; a second run then completes the flash. A second Ctrl-C within two seconds ends
// at once, and so does any signal where nothing is on its way to the coder, wherever the
// program waits.
#include <gtest/gtest.h>

#include <algorithm>
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

struct Signal {
    const char* name;
    int number;
    int exitStatus;
};
void PrintTo(const Signal& s, std::ostream* os) {
    *os << s.name;
}
constexpr Signal kSigint{"SIGINT", SIGINT, 130};
constexpr Signal kSigterm{"SIGTERM", SIGTERM, 143};
constexpr Signal kSighup{"SIGHUP", SIGHUP, 129};
constexpr Signal kSignals[] = {kSigint, kSigterm, kSighup};

class InterruptFixture {
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

class CliInterrupt : public InterruptFixture, public testing::TestWithParam<Transport> {};

struct StopCase {
    Transport transport;
    Signal signal;
};
void PrintTo(const StopCase& c, std::ostream* os) {
    *os << c.transport.name << " " << c.signal.name;
}

class CliStopAtBlock : public InterruptFixture, public testing::TestWithParam<StopCase> {};

TEST_P(CliStopAtBlock, StopsAtABlockBoundaryAndASecondRunCompletes) {
    const bool serial = GetParam().transport.serial;
    const Signal signal = GetParam().signal;
    FirmwareFolder files(64 * 400, 3000, 2000);
    SimUnderTest device(SimArgs(serial));
    ASSERT_TRUE(device.Ready());

    const std::string log = files.Path() + "interrupted.log";
    CliProcess first(Update(device, serial, files, log));
    ASSERT_TRUE(first.WaitForOutput("\"event\":\"progress\"")) << first.Err();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    first.Signal(signal.number);
    EXPECT_EQ(first.Wait(), signal.exitStatus) << first.Err();
    const nlohmann::json result = LastJson(first.Out());
    EXPECT_EQ(result["event"], "result");
    EXPECT_EQ(result["exitStatus"], signal.exitStatus);
    EXPECT_EQ(result["result"], 130);  // UPD_INTERRUPTED, whichever signal asked
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
        if (IsFrameLine(line)) {
            EXPECT_TRUE(std::regex_match(line, frame)) << line;
            lastFrame = line;
        }
    }
    const auto tail = [&] {
        std::string text;
        for (size_t i = lines.size() > 6 ? lines.size() - 6 : 0; i < lines.size(); ++i) {
            text += lines[i].substr(0, 60) + "\n";
        }
        return text;
    };
    EXPECT_EQ(lastFrame.rfind("<- ", 0), 0u) << "the last exchange got its answer:\n" << tail();
    // The procedure writes its line on the worker, the frames come in on the front end's
    // thread: the answer to the last block may be logged just after the line.
    const size_t from = lines.size() > 3 ? lines.size() - 3 : 0;
    EXPECT_TRUE(std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end(),
                            [](const std::string& line) {
                                return line.rfind("Interrupted by the user at block 8000:", 0) == 0;
                            }))
        << tail();
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), std::string("Stop requested by ") + signal.name),
        lines.end());

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
    EXPECT_EQ(cli.Wait(), 143) << cli.Err();
    const nlohmann::json result = LastJson(cli.Out());
    EXPECT_EQ(result["exitStatus"], 143);
    EXPECT_NE(result.value("message", "").find("nothing was changed"), std::string::npos) << result;
    EXPECT_FALSE(result.contains("result")) << "no flash sequence ran";
    EXPECT_EQ(device.StopAndDump()[0],
              "region 0 start 0x80000 length 0 sha256 " + FirmwareFolder::Hash({}));
}

constexpr Transport kTcp{"Tcp", false};
constexpr Transport kSerial{"Serial", true};

INSTANTIATE_TEST_SUITE_P(Transports, CliInterrupt, testing::Values(kTcp, kSerial),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Signals, CliStopAtBlock,
                         testing::Values(StopCase{kTcp, kSigint}, StopCase{kSerial, kSigint},
                                         StopCase{kTcp, kSighup}, StopCase{kSerial, kSigterm}),
                         [](const auto& info) {
                             return std::string(info.param.transport.name) + "_" +
                                    info.param.signal.name;
                         });

// Blocked in opening a FIFO named as the log, which waits for a reader that never comes.
// Nothing is on its way to the coder, so a signal ends it at once, and the result says so.
class CliBlockedInOpen : public testing::TestWithParam<Signal> {};

TEST_P(CliBlockedInOpen, EndsAtOnceWithTheSignalsStatus) {
    const Signal signal = GetParam();
    FirmwareFolder files(3000, std::nullopt, std::nullopt);
    const std::string log = files.Path() + "identify.log";
    ASSERT_EQ(mkfifo(log.c_str(), 0600), 0);
    // Without a DSP firmware its warning is the last event before the log is opened; the
    // closed port is never reached.
    CliProcess cli({"identify", "--tcp", "127.0.0.1:1", "--coder", files.CoderPath(), "--log", log,
                    "--lang", "en", "--events"});
    ASSERT_TRUE(cli.WaitForOutput("DSP_FIRMWARE_MISSING")) << cli.Out() << cli.Err();
    cli.Signal(signal.number);
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(cli.Wait(std::chrono::seconds(5)), signal.exitStatus) << cli.Err();
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(2));

    const std::string ended = std::string("Ended by ") + signal.name;
    EXPECT_NE(cli.Err().find("tarvelin-cli: " + ended), std::string::npos) << cli.Err();
    EXPECT_EQ(cli.Err().find("Log: "), std::string::npos) << "no log was opened: " << cli.Err();
    const nlohmann::json result = LastJson(cli.Out());
    EXPECT_EQ(result["event"], "result");
    EXPECT_EQ(result["exitStatus"], signal.exitStatus);
    EXPECT_TRUE(result["logPath"].is_null()) << result;
    EXPECT_NE(result.value("message", "").find(ended), std::string::npos) << result;
}

INSTANTIATE_TEST_SUITE_P(Signals, CliBlockedInOpen, testing::ValuesIn(kSignals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
