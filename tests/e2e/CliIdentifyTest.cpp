// `tarvelin-cli identify` as a process against the simulator: exit statuses, the texts, the
// JSON object, and command lines it must refuse.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "CliProcess.h"
#include "FirmwareFolder.h"
#include "SimUnderTest.h"
#include "support/PtyFarSide.h"

namespace {

std::vector<std::string> Identify(const std::string& target, const FirmwareFolder& files,
                                  const std::string& log) {
    const bool serial = target.find('/') != std::string::npos;
    return {"identify",   serial ? "--serial" : "--tcp",
            target,       "--firmware-dir",
            files.Path(), "--log",
            log,          "--lang",
            "en",         "--json"};
}

std::string Tcp(const SimUnderTest& device) {
    return "127.0.0.1:" + std::to_string(device.Port());
}

TEST(CliIdentify, PassingCaseExitsZeroWithTheFoundState) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    SimUnderTest device({"--tcp", "0", "--time-scale", "0", "--main-port", "0"});
    ASSERT_TRUE(device.Ready());
    const std::string log = files.Path() + "identify.log";
    CliProcess cli(Identify(Tcp(device), files, log));
    ASSERT_EQ(cli.Wait(), 0) << cli.Err();
    const std::string json = cli.Out();
    EXPECT_EQ(JsonField(json, "outcome"), "20") << json;
    EXPECT_EQ(JsonField(json, "mayUpdate"), "true");
    EXPECT_EQ(JsonField(json, "warnings"), "[]");
    EXPECT_EQ(JsonField(json, "currentVersion"), "\"2.15\"");
    EXPECT_EQ(JsonField(json, "biosVersion"), "\"2.10\"");
    EXPECT_EQ(JsonField(json, "versionToFlash"), "\"2.16 (Coder_V02_16.img)\"");
    EXPECT_EQ(JsonField(json, "biosRunning"), "false");
    EXPECT_EQ(JsonField(json, "transferMode"), "0");
    EXPECT_EQ(JsonField(json, "status"), "\"Connection to Coder (127.0.0.1:" +
                                             std::to_string(device.Port()) + ") established.\"");
    // With --json the human text goes to standard error, and the log holds every frame.
    EXPECT_NE(cli.Err().find("Current firmware version: 2.15"), std::string::npos) << cli.Err();
    const std::vector<std::string> lines = ReadLines(log);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("-> FE,", 0) == 0; }),
              4);
}

TEST(CliIdentify, SerialFirmwareOverTheSimulatorsTerminal) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    SimUnderTest device({"--serial", "--time-scale", "0", "--baud", "19200"});
    ASSERT_TRUE(device.Ready());
    CliProcess cli(Identify(device.Pty(), files, files.Path() + "identify.log"));
    ASSERT_EQ(cli.Wait(), 0) << cli.Err();
    EXPECT_EQ(JsonField(cli.Out(), "outcome"), "2") << cli.Out();
    EXPECT_EQ(JsonField(cli.Out(), "baudRate"), "19200");
    EXPECT_EQ(JsonField(cli.Out(), "currentVersion"), "\"2.15\"");
    // A device path has no COM number; the text names the device.
    EXPECT_EQ(JsonField(cli.Out(), "status"),
              "\"Established connection to Coder via " + device.Pty() + ".\"");
}

// socat between the program and the line holds both ends of its pseudo-terminal: it is the
// line, not another program in the way.
TEST(CliIdentify, SerialFirmwareThroughASocatBridge) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    SimUnderTest device({"--serial", "--time-scale", "0"});
    ASSERT_TRUE(device.Ready());
    TempDirectory links;
    SocatBridge bridge(links.Path(), device.Pty());
    ASSERT_TRUE(bridge.Ready()) << "socat did not start (scripts/setup.sh installs it)";
    CliProcess cli(Identify(bridge.A(), files, files.Path() + "identify.log"));
    ASSERT_EQ(cli.Wait(), 0) << cli.Err();
    EXPECT_EQ(JsonField(cli.Out(), "outcome"), "2") << cli.Out();
    EXPECT_EQ(JsonField(cli.Out(), "baudRate"), "9600");
    EXPECT_EQ(JsonField(cli.Out(), "currentVersion"), "\"2.15\"");
    EXPECT_EQ(cli.Err().find("in use by"), std::string::npos) << cli.Err();
}

TEST(CliIdentify, WarningCaseExitsZeroAndNamesTheWarning) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    SimUnderTest device({"--tcp", "0", "--time-scale", "0", "--main-port", "4001"});
    ASSERT_TRUE(device.Ready());
    CliProcess cli(Identify(Tcp(device), files, files.Path() + "identify.log"));
    ASSERT_EQ(cli.Wait(), 0) << cli.Err();
    EXPECT_EQ(JsonField(cli.Out(), "warnings"), "[\"NOT_MAIN_PORT\"]") << cli.Out();
    EXPECT_EQ(JsonField(cli.Out(), "mayUpdate"), "true");
    EXPECT_EQ(JsonField(cli.Out(), "mainPort"), "4001");
}

TEST(CliIdentify, OldBiosIsBlockedWith23) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    SimUnderTest device(
        {"--tcp", "0", "--time-scale", "0", "--main-port", "0", "--bios-version", "2.09"});
    ASSERT_TRUE(device.Ready());
    CliProcess cli(Identify(Tcp(device), files, files.Path() + "identify.log"));
    EXPECT_EQ(cli.Wait(), 23) << cli.Err();
    EXPECT_EQ(JsonField(cli.Out(), "outcome"), "20") << cli.Out();
    EXPECT_EQ(JsonField(cli.Out(), "mayUpdate"), "false");
    EXPECT_EQ(JsonField(cli.Out(), "biosVersion"), "\"2.09\"");
    EXPECT_EQ(JsonField(cli.Out(), "detail"),
              "\"BIOS version of the encoder is 2.09.\\nUpdate via TCP/IP not possible!\"");
}

// The coder answers through a NetPC that ignores the transfer-mode query: found, but the update
// could never reach the BIOS, so neither identify nor update lets it go on.
TEST(CliIdentify, OldNetPcWithAnAnsweringCoderIsBlockedWith19) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    SimUnderTest device({"--tcp", "0", "--time-scale", "0", "--main-port", "0", "--old-netpc"});
    ASSERT_TRUE(device.Ready());
    for (const char* command : {"identify", "update"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args = Identify(Tcp(device), files, files.Path() + "old.log");
        args[0] = command;
        if (args[0] == "update") {
            args.push_back("--yes");
        }
        CliProcess cli(args);
        EXPECT_EQ(cli.Wait(), 19) << cli.Err();
        EXPECT_EQ(JsonField(cli.Out(), "outcome"), "20") << cli.Out();
        EXPECT_EQ(JsonField(cli.Out(), "mayUpdate"), "false");
        EXPECT_NE(JsonField(cli.Out(), "detail").find("NetPC"), std::string::npos);
        std::ifstream log(files.Path() + "old.log");
        const std::string text((std::istreambuf_iterator<char>(log)), {});
        EXPECT_EQ(text.find(",52,53,EF,"), std::string::npos) << "the start command went out";
    }
}

// A port that does not open was never probed: its reason comes first, and it exits as a
// connection that does not open, not as a baud rate nobody answered.
TEST(CliIdentify, APortThatDoesNotOpenExitsAsNoConnection) {
    TempDirectory config;
    std::filesystem::create_directories(config.Path() + "Orvane/ports");
    std::filesystem::create_symlink(config.Path() + "gone", config.Path() + "Orvane/ports/COM9");
    FirmwareFolder files(5000, std::nullopt, 2000);
    CliProcess cli({"identify", "--serial", "COM9", "--firmware-dir", files.Path(), "--log",
                    files.Path() + "identify.log", "--lang", "en"},
                   {"XDG_CONFIG_HOME=" + config.Path()});
    EXPECT_EQ(cli.Wait(), 4) << cli.Err();
    const std::string out = cli.Out();
    EXPECT_EQ(out.find("Could not detect baud rate."), std::string::npos) << out;
    // The reason names the COM number and its link, the hint says where to look.
    const size_t reason =
        out.find("COM9 stands for " + config.Path() + "Orvane/ports/COM9, which does not exist.");
    ASSERT_NE(reason, std::string::npos) << out;
    EXPECT_LT(reason, out.find("Could not connect to Coder!")) << out;
    EXPECT_NE(out.find("hint: Check the cable and the port number; tarvelin-cli list-ports"),
              std::string::npos)
        << out;
}

TEST(CliIdentify, ALineNobodyAnswersOnExitsWith1) {
    TempDirectory links;
    SocatBridge bridge(links.Path());  // nobody on vB
    ASSERT_TRUE(bridge.Ready()) << "socat did not start (scripts/setup.sh installs it)";
    FirmwareFolder files(5000, std::nullopt, 2000);
    CliProcess cli({"identify", "--serial", bridge.A(), "--firmware-dir", files.Path(), "--log",
                    files.Path() + "identify.log", "--lang", "en"});
    EXPECT_EQ(cli.Wait(), 1) << cli.Err();
    EXPECT_NE(cli.Out().find("Could not detect baud rate."), std::string::npos) << cli.Out();
    EXPECT_EQ(cli.Out().find("hint:"), std::string::npos) << cli.Out();
    const std::vector<std::string> log = ReadLines(files.Path() + "identify.log");
    EXPECT_NE(std::find(log.begin(), log.end(), "Trying baud rate 1200..."), log.end());
}

TEST(CliIdentify, MissingCoderFirmwareIs66) {
    TempDirectory empty;
    CliProcess cli({"identify", "--tcp", "127.0.0.1:9", "--firmware-dir", empty.Path(), "--log",
                    empty.Path() + "identify.log"});
    EXPECT_EQ(cli.Wait(), 66) << cli.Err();
}

TEST(CliIdentify, MalformedTargetsAreUsageErrors) {
    TempDirectory dir;
    const std::vector<std::vector<std::string>> bad = {
        {"--serial", "COMx"},
        {"--serial", "0"},
        {"--serial", ""},
        {"--tcp", "127.0.0.1"},
        {"--tcp", ":7000"},
        {"--tcp", "127.0.0.1:0"},
        {"--tcp", "127.0.0.1:70000"},
        {"--tcp", "127.0.0.1:7a"},
        {"--tcp", "a b:7000"},
        {"--tcp", std::string(600, 'h') + ":7000"},
        {"--serial", "7", "--tcp", "127.0.0.1:7000"},
    };
    for (const auto& target : bad) {
        std::vector<std::string> args{"identify"};
        args.insert(args.end(), target.begin(), target.end());
        args.insert(args.end(), {"--log", dir.Path() + "never.log"});
        CliProcess cli(args);
        EXPECT_EQ(cli.Wait(), 64) << testing::PrintToString(target);
        EXPECT_NE(cli.Err().find("tarvelin-cli: "), std::string::npos) << cli.Err();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "never.log"));
}

}  // namespace
