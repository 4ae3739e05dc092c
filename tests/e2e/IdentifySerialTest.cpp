// Identification over a serial line: the baud-rate detection against the simulator's
// pseudo-terminal, which answers only at the line speed of the program it runs.
#include <gtest/gtest.h>

#include "transport/SerialPorts.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "FirmwareFolder.h"
#include "ProcedureHarness.h"
#include "support/SimProcess.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

struct SerialSim {
    explicit SerialSim(std::vector<std::string> extra)
        : sim([&] {
              std::vector<std::string> args{"--serial", "--time-scale", "0"};
              args.insert(args.end(), extra.begin(), extra.end());
              return args;
          }()) {
        pty = PtyOf(sim.Announcements());
    }
    SimProcess sim;
    std::string pty;
};

TEST(IdentifySerial, FirmwareAt9600) {
    SerialSim device({});
    ASSERT_FALSE(device.pty.empty()) << "simulator did not start";
    FirmwareFolder files(5000, std::nullopt, 2000);
    ProcedureHarness run(SerialChoice(device.pty), files.Path());

    EXPECT_EQ(run.Identify(), UPD_SERIAL_FIRMWARE);
    EXPECT_EQ(
        run.ProcedureLines(),
        (Lines{"Detecting baud rate...", "Trying baud rate 115200...", "Trying baud rate 9600...",
               "Detected baud rate: 9600", "Current firmware version:  2.15",
               "Firmware version to flash: 2.16 (Coder_V02_16.img)", ""}));
    EXPECT_EQ(run.sink.Statuses(), std::vector<int>{200});
    EXPECT_EQ(run.procedure->m_baudRate, 9600);
    EXPECT_FALSE(run.procedure->m_biosRunning);
    EXPECT_EQ(run.procedure->m_currentVersion, "2.15");
    // Both questions reach the log; only the one at 9600 is answered (ack and answer).
    EXPECT_EQ(run.CountFrameLines("-> "), 2u);
    EXPECT_EQ(run.CountFrameLines("<- "), 2u);
}

TEST(IdentifySerial, FirmwareAt1200AfterSixSilentProbes) {
    SerialSim device({"--baud", "1200"});
    ASSERT_FALSE(device.pty.empty());
    FirmwareFolder files(5000, std::nullopt, 2000);
    ProcedureHarness run(SerialChoice(device.pty), files.Path());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run.Identify(), UPD_SERIAL_FIRMWARE);
    // Each silent probe waits its own answer time: 100 + 200 + 500 + 100 + 100 + 300 ms.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1300ms);
    EXPECT_EQ(
        run.ProcedureLines(),
        (Lines{"Detecting baud rate...", "Trying baud rate 115200...", "Trying baud rate 9600...",
               "Trying baud rate 2400...", "Trying baud rate 38400...", "Trying baud rate 19200...",
               "Trying baud rate 4800...", "Trying baud rate 1200...", "Detected baud rate: 1200",
               "Current firmware version:  2.15",
               "Firmware version to flash: 2.16 (Coder_V02_16.img)", ""}));
    EXPECT_EQ(run.procedure->m_baudRate, 1200);
    EXPECT_EQ(run.CountFrameLines("-> "), 7u);
    EXPECT_EQ(run.CountFrameLines("<- "), 2u);
}

TEST(IdentifySerial, BiosAt115200) {
    SerialSim device({"--state", "bios", "--bios-version", "2.12"});
    ASSERT_FALSE(device.pty.empty());
    FirmwareFolder files(5000, std::nullopt, 2000);
    ProcedureHarness run(SerialChoice(device.pty), files.Path());

    EXPECT_EQ(run.Identify(), UPD_SERIAL_BIOS);
    EXPECT_EQ(run.ProcedureLines(),
              (Lines{"Detecting baud rate...", "Trying baud rate 115200...",
                     "Detected baud rate is 115200", "-> Bios is running", ""}));
    EXPECT_TRUE(run.procedure->m_biosRunning);
    EXPECT_EQ(run.procedure->m_baudRate, 115200);
    EXPECT_EQ(run.procedure->m_currentVersion, "2.12");  // the BIOS text as received
}

TEST(IdentifySerial, PortWithoutDeviceLogsOnlyTheDetection) {
    TempDirectory config;
    ASSERT_TRUE(config.Valid());
    std::filesystem::create_directories(config.Path() + "Orvane/ports");
    std::filesystem::create_symlink(config.Path() + "no-such-device",
                                    config.Path() + "Orvane/ports/COM9");
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1), 0);
    FirmwareFolder files(5000, std::nullopt, 2000);
    ConnectionChoice choice;
    choice.connectionType = kConnectionTypeSerial;
    choice.serialPort = 9;
    ProcedureHarness run(choice, files.Path());

    EXPECT_EQ(run.Identify(), UPD_NO_BAUD_RATE);
    EXPECT_EQ(run.LogLines(),
              (Lines{"Detecting baud rate...",
                     "Reason: COM9 stands for " + ResolveComPort(9) + ", which does not exist."}));
    EXPECT_EQ(run.procedure->m_openFailure.kind, OpenFailureKind::NoDevice);
    EXPECT_EQ(run.procedure->m_baudRate, 9600);
    EXPECT_FALSE(run.procedure->m_biosRunning);
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
