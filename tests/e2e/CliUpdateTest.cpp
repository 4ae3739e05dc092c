// `tarvelin-cli update` as a process against the simulator: confirmations without a terminal,
// exit statuses and JSON, a dropped connection resumed by a second run, and two updates of two
// devices side by side.
#include <gtest/gtest.h>

#include <algorithm>

#include "CliProcess.h"
#include "FirmwareFolder.h"
#include "SimUnderTest.h"

namespace {

std::vector<std::string> Update(const std::string& target, const FirmwareFolder& files,
                                const std::string& log, bool yes) {
    const bool serial = target.find('/') != std::string::npos;
    std::vector<std::string> args{"update",     serial ? "--serial" : "--tcp",
                                  target,       "--firmware-dir",
                                  files.Path(), "--log",
                                  log,          "--lang",
                                  "en",         "--json"};
    if (yes) {
        args.push_back("--yes");
    }
    return args;
}

std::string Tcp(const SimUnderTest& device) {
    return "127.0.0.1:" + std::to_string(device.Port());
}

size_t Count(const std::vector<std::string>& lines, const std::string& part) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
        return l.find(part) != std::string::npos;
    }));
}

const std::string kEmptyRegion0 =
    "region 0 start 0x80000 length 0 sha256 " + FirmwareFolder::Hash({});

TEST(CliUpdate, WithoutATerminalAWarningNeedsYes) {
    // A missing DSP firmware is asked before anything is sent.
    FirmwareFolder coderOnly(3000, std::nullopt, std::nullopt);
    SimUnderTest bios(
        {"--tcp", "0", "--state", "bios", "--transfer-mode", "1", "--time-scale", "0"});
    ASSERT_TRUE(bios.Ready());
    CliProcess missingDsp(Update(Tcp(bios), coderOnly, coderOnly.Path() + "a.log", false));
    EXPECT_EQ(missingDsp.Wait(), 75) << missingDsp.Err();
    EXPECT_EQ(JsonField(missingDsp.Out(), "exitStatus"), "75") << missingDsp.Out();
    EXPECT_NE(missingDsp.Err().find("Confirmation needed: "), std::string::npos)
        << missingDsp.Err();
    EXPECT_NE(missingDsp.Err().find("--yes"), std::string::npos);
    EXPECT_EQ(bios.StopAndDump()[0], kEmptyRegion0);

    // A main port that differs is asked after the identification, before the update starts.
    FirmwareFolder all(3000, 1000, 1000);
    SimUnderTest firmware({"--tcp", "0", "--main-port", "4001", "--time-scale", "0"});
    ASSERT_TRUE(firmware.Ready());
    const std::string log = all.Path() + "b.log";
    CliProcess otherPort(Update(Tcp(firmware), all, log, false));
    EXPECT_EQ(otherPort.Wait(), 75) << otherPort.Err();
    EXPECT_EQ(JsonField(otherPort.Out(), "warnings"), "[\"NOT_MAIN_PORT\"]") << otherPort.Out();
    EXPECT_NE(otherPort.Err().find("Confirmation needed: "), std::string::npos);
    EXPECT_EQ(Count(ReadLines(log), "Connecting Coder..."), 0u);
    EXPECT_EQ(firmware.StopAndDump()[0], kEmptyRegion0);
}

TEST(CliUpdate, DroppedConnectionFailsAndASecondRunCompletes) {
    FirmwareFolder files(5000, 3000, 2000);
    SimUnderTest device({"--tcp", "0", "--state", "bios", "--transfer-mode", "1", "--time-scale",
                         "0", "--drop-after", "40"});
    ASSERT_TRUE(device.Ready());

    const std::string firstLog = files.Path() + "first.log";
    CliProcess first(Update(Tcp(device), files, firstLog, true));
    EXPECT_EQ(first.Wait(), 14) << first.Err();
    EXPECT_EQ(JsonField(first.Out(), "result"), "14") << first.Out();
    EXPECT_NE(JsonField(first.Out(), "lastBlockResult"), "0");
    EXPECT_EQ(JsonField(first.Out(), "newVersion"), "\"\"");
    EXPECT_EQ(
        JsonField(first.Out(), "message").rfind("\"Error while flashing the Coder firmware.", 0),
        0u)
        << first.Out();
    const std::vector<std::string> lines = ReadLines(firstLog);
    EXPECT_EQ(Count(lines, "1. retry sending of data block at 8000:0A00"), 1u);
    EXPECT_EQ(Count(lines, "2. retry sending of data block at 8000:0A00"), 1u);
    EXPECT_EQ(Count(lines, "Failed to flash Coder firmware!"), 1u);

    // The coder stayed in its BIOS: the second run finds it there and flashes everything.
    CliProcess second(Update(Tcp(device), files, files.Path() + "second.log", true));
    EXPECT_EQ(second.Wait(), 0) << second.Err();
    const std::string json = second.Out();
    EXPECT_EQ(JsonField(json, "outcome"), "21") << json;
    EXPECT_EQ(JsonField(json, "biosRunning"), "true");
    // In its BIOS the coder has no firmware version; its BIOS version is apart.
    EXPECT_EQ(JsonField(json, "currentVersion"), "null");
    EXPECT_EQ(JsonField(json, "biosVersion"), "\"2.10\"");
    EXPECT_EQ(JsonField(json, "result"), "0");
    EXPECT_EQ(JsonField(json, "newVersion"), "\"2.16\"");
    EXPECT_EQ(JsonField(json, "message"), "\"Update operation successfully finished.\"");
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());
}

// A technician flashing two coders at once: a TCP one with the coder firmware alone (which
// needs --yes) and a serial one with all three files, each with its own log.
TEST(CliUpdate, TwoUpdatesSideBySideDoNotInterfere) {
    FirmwareFolder tcpFiles(3000, std::nullopt, std::nullopt, "2.17");
    FirmwareFolder serialFiles(5000, 3000, 2000, "2.16");
    SimUnderTest tcpDevice(
        {"--tcp", "0", "--state", "bios", "--transfer-mode", "1", "--time-scale", "0"});
    SimUnderTest serialDevice({"--serial", "--state", "bios", "--time-scale", "0"});
    ASSERT_TRUE(tcpDevice.Ready() && serialDevice.Ready());
    const std::string tcpLog = tcpFiles.Path() + "tcp.log";
    const std::string serialLog = serialFiles.Path() + "serial.log";

    CliProcess overTcp(Update(Tcp(tcpDevice), tcpFiles, tcpLog, true));
    CliProcess overSerial(Update(serialDevice.Pty(), serialFiles, serialLog, true));
    EXPECT_EQ(overTcp.Wait(), 0) << overTcp.Err();
    EXPECT_EQ(overSerial.Wait(), 0) << overSerial.Err();

    EXPECT_EQ(JsonField(overTcp.Out(), "warnings"), "[\"DSP_FIRMWARE_MISSING\"]") << overTcp.Out();
    EXPECT_EQ(JsonField(overTcp.Out(), "newVersion"), "\"2.17\"");
    EXPECT_EQ(JsonField(overSerial.Out(), "warnings"), "[]") << overSerial.Out();
    EXPECT_EQ(JsonField(overSerial.Out(), "newVersion"), "\"2.16\"");

    const std::vector<std::string> tcp = ReadLines(tcpLog);
    const std::vector<std::string> serial = ReadLines(serialLog);
    EXPECT_EQ(Count(tcp, "Use Serial connection"), 0u);
    EXPECT_EQ(Count(serial, "Use TCP/IP connection"), 0u);
    EXPECT_EQ(Count(tcp, ",52,53,50,"), 47u);
    EXPECT_EQ(Count(serial, ",52,53,50,"), 79u + 47u + 32u);
    EXPECT_EQ(tcp.back(), "New firmware version:  2.17");
    EXPECT_EQ(serial.back(), "New firmware version:  2.16");

    const std::vector<std::string> tcpDump = tcpDevice.StopAndDump();
    ASSERT_FALSE(tcpDump.empty());
    EXPECT_EQ(tcpDump[0], tcpFiles.ExpectedDump()[0]);
    EXPECT_EQ(serialDevice.StopAndDump(), serialFiles.ExpectedDump());
}

}  // namespace
