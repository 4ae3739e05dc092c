// Identification through the NetPC over loopback TCP: transfer modes, the switch to the other
// mode, an old NetPC, and the version checks on what was found.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FirmwareFolder.h"
#include "ProcedureHarness.h"
#include "protocol/ArmNetPC_UECPMessageHandler.h"
#include "support/SimProcess.h"
#include "update/ProcedureVerdicts.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kOpened{"Use TCP/IP connection", "Connection opened successfully!"};

Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Lines kFirmwareVersions{"Current firmware version:  2.15",
                              "Firmware version to flash: 2.16 (Coder_V02_16.img)", ""};

// One simulator, firmware files and an identification over TCP.
class TcpIdentification {
public:
    explicit TcpIdentification(std::vector<std::string> extra)
        : sim_([&] {
              std::vector<std::string> args{"--tcp", "0", "--time-scale", "0"};
              args.insert(args.end(), extra.begin(), extra.end());
              return args;
          }()),
          port_(PortOf(sim_.Announcements())),
          files_(5000, std::nullopt, 2000),
          run(TcpChoice(port_), files_.Path()) {}

    uint16_t Port() const { return port_; }

    IdentificationVerdict Verdict(int64_t outcome) {
        IdentificationState state;
        state.tcpAddress = "127.0.0.1";
        state.tcpPort = port_;
        state.biosVersion = run.procedure->m_biosVersion;
        state.mainPort = run.procedure->m_mainPort;
        return DecideIdentification(static_cast<int32_t>(outcome), state, Language::English);
    }

private:
    SimProcess sim_;
    uint16_t port_;
    FirmwareFolder files_;

public:
    ProcedureHarness run;
};

TEST(IdentifyTcp, NormalModeFirmwareAnswers) {
    TcpIdentification t({"--main-port", "0"});
    ASSERT_NE(t.Port(), 0) << "simulator did not start";
    const int64_t outcome = t.run.Identify();
    EXPECT_EQ(outcome, UPD_TCP_FIRMWARE);
    EXPECT_EQ(t.run.ProcedureLines(),
              Join({kOpened,
                    {"Checking NetPC transfer mode...", "Trying to get firmware version..."},
                    kFirmwareVersions}));
    EXPECT_EQ(t.run.procedure->m_transferMode, 0);
    EXPECT_EQ(t.run.procedure->m_biosVersion, "2.10");
    EXPECT_EQ(t.run.procedure->m_mainPort, 0);
    EXPECT_TRUE(t.run.procedure->Pauses().empty());
    const IdentificationVerdict verdict = t.Verdict(outcome);
    EXPECT_TRUE(verdict.mayGoOn);
    EXPECT_EQ(verdict.warning, 0);
    EXPECT_FALSE(verdict.mainPortDiffers);
    // Mode query, firmware version, BIOS version and main port: four questions, all answered.
    EXPECT_EQ(t.run.CountFrameLines("-> "), 4u);
    EXPECT_EQ(t.run.CountFrameLines("<- "), 8u);
}

TEST(IdentifyTcp, UpdateModeBiosAnswers) {
    TcpIdentification t({"--state", "bios", "--transfer-mode", "1"});
    ASSERT_NE(t.Port(), 0);
    const int64_t outcome = t.run.Identify();
    EXPECT_EQ(outcome, UPD_TCP_BIOS);
    EXPECT_EQ(t.run.ProcedureLines(),
              Join({kOpened,
                    {"Checking NetPC transfer mode...", "Trying to get BIOS version...",
                     "Coder Bios 2.10 is running", ""}}));
    EXPECT_EQ(t.run.procedure->m_transferMode, 1);
    EXPECT_TRUE(t.run.procedure->m_biosRunning);
    EXPECT_EQ(t.run.procedure->m_biosVersion, t.run.procedure->m_currentVersion);
    EXPECT_TRUE(t.Verdict(outcome).mayGoOn);
}

TEST(IdentifyTcp, NormalModeWithTheCoderInItsBiosSwitchesTheMode) {
    TcpIdentification t({"--state", "bios", "--transfer-mode", "0"});
    ASSERT_NE(t.Port(), 0);
    EXPECT_EQ(t.run.Identify(), UPD_TCP_BIOS);
    EXPECT_EQ(t.run.ProcedureLines(),
              Join({kOpened,
                    {"Checking NetPC transfer mode...", "Trying to get firmware version...",
                     "Closing NetPC connection"},
                    kOpened,
                    {"No answer from coder, try other NetPC transfer mode...",
                     "Trying to get BIOS version...", "Coder Bios 2.10 is running", ""}}));
    EXPECT_EQ(t.run.procedure->Pauses(), std::vector<uint32_t>{2000});
    EXPECT_EQ(t.run.procedure->m_transferMode, 1);
    // The switch to mode 1 went out and was acknowledged.
    EXPECT_EQ(t.run.CountFrameLines("-> ", ",4E,53,07,01,"), 1u);
}

// The coder answers, so the outcome is what was found; but this NetPC could never be switched to
// update mode once the coder runs its BIOS, so the checks must not let the update go on.
TEST(IdentifyTcp, OldNetPcWithTheCoderAnsweringIsFoundButNeverPasses) {
    TcpIdentification t({"--old-netpc", "--main-port", "0"});
    ASSERT_NE(t.Port(), 0);
    EXPECT_EQ(t.run.Identify(), UPD_TCP_FIRMWARE);
    EXPECT_EQ(t.run.ProcedureLines(),
              Join({kOpened,
                    {"Checking NetPC transfer mode...", "Trying to get firmware version..."},
                    kFirmwareVersions,
                    {"NetPC did not answer the transfer mode query: it cannot be switched to "
                     "update mode, the update is not possible"}}));
    EXPECT_TRUE(t.run.procedure->m_transferModeUnknown);
    const IdentificationVerdict verdict = DecideIdentification(
        UPD_TCP_FIRMWARE, t.run.procedure->StateForChecks(), Language::English);
    EXPECT_FALSE(verdict.mayGoOn);
    EXPECT_EQ(verdict.stopCode, UPD_NETPC_TOO_OLD);
}

TEST(IdentifyTcp, OldNetPcWithASilentCoderIsTooOldWithoutASecondConnection) {
    TcpIdentification t({"--old-netpc", "--state", "bios"});
    ASSERT_NE(t.Port(), 0);
    const int64_t outcome = t.run.Identify();
    EXPECT_EQ(outcome, UPD_NETPC_TOO_OLD);
    // Not one byte came back: that is said, as it is also what a wrong port looks like.
    const std::string silent = "Nothing answered on 127.0.0.1:" + std::to_string(t.Port()) +
                               ", not one byte: is that the NetPC's port?";
    EXPECT_EQ(t.run.ProcedureLines(),
              Join({kOpened,
                    {"Checking NetPC transfer mode...", "Trying to get firmware version...",
                     "Reason: " + silent}}));
    EXPECT_EQ(IdentificationReason(static_cast<int32_t>(outcome), t.run.procedure->Evidence(),
                                   Language::English),
              silent);
    EXPECT_TRUE(t.run.procedure->Pauses().empty());
    const IdentificationVerdict verdict = t.Verdict(outcome);
    EXPECT_FALSE(verdict.mayGoOn);
    // The BIOS version stayed unknown, so the hint below the versions changes as well.
    EXPECT_TRUE(verdict.hint.changed);
}

TEST(IdentifyTcp, UnansweredBiosVersionWarnsAndLetsTheUserGoOn) {
    TcpIdentification t({"--bios-version", "none", "--main-port", "0"});
    ASSERT_NE(t.Port(), 0);
    const int64_t outcome = t.run.Identify();
    EXPECT_EQ(outcome, UPD_TCP_FIRMWARE);
    EXPECT_EQ(t.run.procedure->m_biosVersion, "???");
    const IdentificationVerdict verdict = t.Verdict(outcome);
    EXPECT_EQ(verdict.warning, UPD_BIOS_VERSION_UNKNOWN);
    EXPECT_TRUE(verdict.mayGoOn);
    EXPECT_EQ(verdict.detail.text, LoadText(221, Language::English));
}

TEST(IdentifyTcp, MainPortThatDiffersWarns) {
    TcpIdentification t({"--main-port", "4001"});
    ASSERT_NE(t.Port(), 0);
    ASSERT_NE(t.Port(), 4001);
    const int64_t outcome = t.run.Identify();
    EXPECT_EQ(outcome, UPD_TCP_FIRMWARE);
    EXPECT_EQ(t.run.procedure->m_mainPort, 4001);
    const IdentificationVerdict verdict = t.Verdict(outcome);
    EXPECT_TRUE(verdict.mainPortDiffers);
    EXPECT_TRUE(verdict.mayGoOn);
    EXPECT_EQ(verdict.detail.text, LoadText(223, Language::English));
}

// A coder that answers in neither transfer mode (switched off): the NetPC is set back to the
// mode it had, so a coder that comes back running what that mode serves gets its traffic again;
// the next connection reads that mode, not the one tried last.
class IdentifyTcpSilentCoder : public testing::TestWithParam<int> {};

TEST_P(IdentifyTcpSilentCoder, SetsTheNetPcBackToTheModeItHad) {
    const int mode = GetParam();
    TcpIdentification t({"--state", "off", "--transfer-mode", std::to_string(mode)});
    ASSERT_NE(t.Port(), 0);
    EXPECT_EQ(t.run.Identify(), UPD_CONNECT_FAILED);
    const std::string firmware = "Trying to get firmware version...";
    const std::string bios = "Trying to get BIOS version...";
    const std::string back = std::to_string(mode);
    EXPECT_EQ(t.run.ProcedureLines(),
              Join({kOpened,
                    {"Checking NetPC transfer mode...", mode == 0 ? firmware : bios,
                     "Closing NetPC connection"},
                    kOpened,
                    {"No answer from coder, try other NetPC transfer mode...",
                     mode == 0 ? bios : firmware,
                     "No answer from coder in either transfer mode, set NetPC back to transfer "
                     "mode " +
                         back + "...",
                     "NetPC is back in transfer mode " + back}}));
    EXPECT_EQ(t.run.procedure->m_transferMode, mode);

    ASSERT_TRUE(t.run.procedure->OpenConnection(false, 0, 0));
    ArmNetPC_UECPMessageHandler netpc;
    ASSERT_EQ(t.run.procedure->m_handler.HandOver(netpc), ERR_OK);
    uint8_t read = 0xFF;
    EXPECT_EQ(netpc.QueryTransferMode(read, 0), ERR_OK);
    EXPECT_EQ(read, mode);
}

INSTANTIATE_TEST_SUITE_P(Modes, IdentifyTcpSilentCoder, testing::Values(0, 1),
                         [](const auto& info) { return "Mode" + std::to_string(info.param); });

struct BiosVersionCase {
    const char* state;  // what the coder runs: its firmware or its BIOS
    const char* version;
    int64_t outcome;
    bool passes;
};

void PrintTo(const BiosVersionCase& c, std::ostream* out) {
    *out << c.state << " with BIOS " << c.version;
}

class IdentifyTcpBiosVersion : public testing::TestWithParam<BiosVersionCase> {};

TEST_P(IdentifyTcpBiosVersion, ComparedAsTextWithTwoTen) {
    const BiosVersionCase& c = GetParam();
    TcpIdentification t({"--state", c.state, "--transfer-mode",
                         std::string(c.state) == "bios" ? "1" : "0", "--bios-version", c.version,
                         "--main-port", "0"});
    ASSERT_NE(t.Port(), 0);
    const int64_t outcome = t.run.Identify();
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(t.run.procedure->m_biosVersion, c.version);
    const IdentificationVerdict verdict = t.Verdict(outcome);
    EXPECT_EQ(verdict.mayGoOn, c.passes);
    if (!c.passes) {
        EXPECT_EQ(verdict.warning, UPD_BIOS_TOO_OLD);
        EXPECT_NE(verdict.detail.text.find(c.version), std::string::npos) << verdict.detail.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, IdentifyTcpBiosVersion,
                         testing::Values(BiosVersionCase{"firmware", "2.09", 20, false},
                                         BiosVersionCase{"firmware", "10.0", 20, false},
                                         BiosVersionCase{"firmware", "2.10", 20, true},
                                         BiosVersionCase{"bios", "2.09", 21, false},
                                         BiosVersionCase{"bios", "2.10", 21, true}),
                         [](const testing::TestParamInfo<BiosVersionCase>& info) {
                             std::string name =
                                 std::string(info.param.state) + "_" + info.param.version;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

}  // namespace
