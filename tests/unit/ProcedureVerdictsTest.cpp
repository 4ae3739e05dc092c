#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uecp/ResultCodes.h"
#include "update/CZelkorTools.h"
#include "update/ProcedureVerdicts.h"
#include "update/StringManager.h"
#include "update/UpdateCodes.h"

namespace {

IdentificationState Tcp(const std::string& biosVersion, uint16_t mainPort = 0) {
    IdentificationState state;
    state.tcpAddress = "10.0.0.7";
    state.tcpPort = 4001;
    state.biosVersion = biosVersion;
    state.mainPort = mainPort;
    return state;
}

TEST(VersionChecks, BiosVersionComparesAsText) {
    EXPECT_TRUE(BiosVersionTooOld("2.09"));
    EXPECT_TRUE(BiosVersionTooOld("10.0"));  // '1' sorts before '2'
    EXPECT_TRUE(BiosVersionTooOld("2.1"));
    EXPECT_FALSE(BiosVersionTooOld("2.10"));
    EXPECT_FALSE(BiosVersionTooOld("2.11"));
    EXPECT_FALSE(BiosVersionTooOld("???"));
}

TEST(VersionChecks, TcpFirmwareCasesInOrder) {
    const Language en = Language::English;
    auto v = DecideIdentification(UPD_TCP_FIRMWARE, Tcp("???", 4002), en);
    EXPECT_EQ(v.status.text, "Connection to Coder (10.0.0.7:4001) established.");
    EXPECT_FALSE(v.status.errorStyle);
    EXPECT_EQ(v.detail.text.rfind("Unable to determine BIOS version", 0), 0u);
    EXPECT_TRUE(v.detail.errorStyle);
    EXPECT_EQ(v.warning, UPD_BIOS_VERSION_UNKNOWN);
    EXPECT_TRUE(v.mayGoOn);
    EXPECT_TRUE(v.showVersions);
    EXPECT_FALSE(v.mainPortDiffers);  // the first case that holds wins

    v = DecideIdentification(UPD_TCP_FIRMWARE, Tcp("2.09", 4002), en);
    EXPECT_EQ(v.detail.text,
              "BIOS version of the encoder is 2.09.\nUpdate via TCP/IP not possible!");
    EXPECT_EQ(v.warning, UPD_BIOS_TOO_OLD);
    EXPECT_FALSE(v.mayGoOn);
    EXPECT_FALSE(v.showVersions);

    v = DecideIdentification(UPD_TCP_FIRMWARE, Tcp("2.10", 4002), en);
    EXPECT_TRUE(v.mainPortDiffers);
    EXPECT_TRUE(v.detail.errorStyle);
    EXPECT_TRUE(v.mayGoOn);

    for (uint16_t mainPort : {0, 4001}) {
        v = DecideIdentification(UPD_TCP_FIRMWARE, Tcp("2.11", mainPort), en);
        EXPECT_FALSE(v.detail.changed) << mainPort;
        EXPECT_TRUE(v.mayGoOn);
        EXPECT_TRUE(v.showVersions);
    }
}

TEST(VersionChecks, BiosAndFailureOutcomes) {
    const Language en = Language::English;
    IdentificationState serial;
    serial.serialPort = 3;
    serial.baudRate = 1200;
    auto v = DecideIdentification(UPD_SERIAL_FIRMWARE, serial, en);
    EXPECT_EQ(v.status.text, "Established connection to Coder via COM3.");
    EXPECT_EQ(v.detail.text, "Baud rate: 1200");
    EXPECT_TRUE(v.mayGoOn);

    v = DecideIdentification(UPD_SERIAL_BIOS, serial, en);
    EXPECT_EQ(v.status.text, "The Coder is running the Bios!");
    EXPECT_TRUE(v.mayGoOn);
    EXPECT_FALSE(v.showVersions);

    v = DecideIdentification(UPD_TCP_BIOS, Tcp("10.0"), en);
    EXPECT_FALSE(v.mayGoOn);
    EXPECT_EQ(v.warning, UPD_BIOS_TOO_OLD);
    EXPECT_TRUE(DecideIdentification(UPD_TCP_BIOS, Tcp("2.10"), en).mayGoOn);

    v = DecideIdentification(UPD_NO_BAUD_RATE, serial, en);
    EXPECT_EQ(v.status.text, "Could not connect to Coder!");
    EXPECT_TRUE(v.status.errorStyle);
    EXPECT_EQ(v.detail.text, "Could not detect baud rate.");
    EXPECT_FALSE(v.mayGoOn);
    v = DecideIdentification(UPD_CONNECT_FAILED, serial, en);
    EXPECT_FALSE(v.detail.changed);

    v = DecideIdentification(UPD_NETPC_TOO_OLD, Tcp("???"), en);
    EXPECT_TRUE(v.detail.errorStyle);
    EXPECT_TRUE(v.hint.changed);
    EXPECT_TRUE(v.hint.errorStyle);
    EXPECT_EQ(v.hint.text.rfind("ATTENTION:", 0), 0u);
    EXPECT_FALSE(v.mayGoOn);
    EXPECT_FALSE(DecideIdentification(UPD_NETPC_TOO_OLD, Tcp("2.10"), en).hint.changed);

    for (int32_t other : {0, 5, 18, 22, 99}) {
        v = DecideIdentification(other, serial, en);
        EXPECT_FALSE(v.status.changed) << other;
        EXPECT_FALSE(v.mayGoOn) << other;
    }

    v = DecideIdentification(UPD_TCP_FIRMWARE, Tcp("2.09"), Language::German);
    EXPECT_EQ(v.status.text, "Verbindung zum Coder (10.0.0.7:4001) hergestellt.");
}

TEST(VersionChecks, ANetPCWithoutTransferModeNeverPasses) {
    const Language en = Language::English;
    for (const std::string bios : {"2.10", "???"}) {
        for (const int32_t outcome : {UPD_TCP_FIRMWARE, UPD_TCP_BIOS}) {
            SCOPED_TRACE(bios + " outcome " + std::to_string(outcome));
            IdentificationState state = Tcp(bios, 4001);
            EXPECT_TRUE(DecideIdentification(outcome, state, en).mayGoOn);
            state.transferModeUnknown = true;
            const IdentificationVerdict v = DecideIdentification(outcome, state, en);
            EXPECT_FALSE(v.mayGoOn);
            EXPECT_EQ(v.stopCode, UPD_NETPC_TOO_OLD);
            EXPECT_EQ(v.warning, 0);
            EXPECT_EQ(v.detail.text,
                      DecideIdentification(UPD_NETPC_TOO_OLD, state, en).detail.text);
            EXPECT_TRUE(v.detail.errorStyle);
            EXPECT_EQ(v.hint.changed, bios == "???");
        }
    }
    // Every other refusal names its own reason.
    EXPECT_EQ(DecideIdentification(UPD_TCP_FIRMWARE, Tcp("2.09"), en).stopCode, UPD_BIOS_TOO_OLD);
    EXPECT_EQ(DecideIdentification(UPD_CONNECT_FAILED, Tcp("???"), en).stopCode,
              UPD_CONNECT_FAILED);
    EXPECT_EQ(DecideIdentification(UPD_TCP_FIRMWARE, Tcp("2.10"), en).stopCode, 0);
}

TEST(UpdateResult, TextsAndReasons) {
    CZelkorTools::GetInstance().Initialize(0);
    StringManager::GetInstance().LoadFromResource(135);
    StringManager::GetInstance().SetLanguage("en");
    const Language en = Language::English;
    EXPECT_EQ(UpdateResultText(UPD_CODER_FLASH_FAILED, ERR_NACK_17, en),
              "Error while flashing the Coder firmware.\nVerify failed.");
    EXPECT_EQ(UpdateResultText(UPD_SAMPLES_FLASH_FAILED, ERR_NACK_15, en),
              "Error while flashing the DSP samples.\nBit6 toggles.");
    EXPECT_EQ(UpdateResultText(UPD_DSP_FLASH_FAILED, ERR_NO_ACK, en),
              "Error while flashing the DSP firmware.\nNo ack received");
    EXPECT_EQ(UpdateResultText(UPD_ERASE_FAILED, ERR_NACK_17, en),
              "Error while erasing the flash.");
    EXPECT_EQ(UpdateResultText(UPD_CODER_FLASH_FAILED, ERR_NACK_16, Language::German),
              "Fehler beim Flashen der Coder-Firmware.\nBit 7 ist invertiert.");
    for (int32_t result = UPD_CONNECT_FAILED; result <= UPD_RECONNECT_FAILED; ++result) {
        EXPECT_FALSE(UpdateResultText(result, ERR_OK, en).empty()) << result;
        EXPECT_FALSE(UpdateResultText(result, ERR_OK, Language::German).empty()) << result;
    }
}

// Which note follows which end: each case names parts of the note in English and in German;
// a wrong phase, a lost block or region, or a front end's wrong words show as a missing part.
struct NoteCase {
    const char* name;
    int32_t result;
    FlashEndState state;
    FrontEnd frontEnd;
    std::vector<std::string> english;
    std::vector<std::string> german;
};

FlashEndState At(FlashEndState::Phase phase) {
    FlashEndState state;
    state.phase = phase;
    return state;
}
FlashEndState AtBlock(uint16_t segment, uint16_t offset, const std::string& file) {
    FlashEndState state = At(FlashEndState::Phase::InBios);
    state.blockKnown = true;
    state.segment = segment;
    state.offset = offset;
    state.file = file;
    state.eraseRegion = 1;  // a block written says more than an earlier erase
    return state;
}
FlashEndState AtRegion(int region) {
    FlashEndState state = At(FlashEndState::Phase::InBios);
    state.eraseRegion = region;
    return state;
}
FlashEndState BiosAfterRestart() {
    FlashEndState state = At(FlashEndState::Phase::AfterFinish);
    state.biosAfterRestart = true;
    return state;
}

using Phase = FlashEndState::Phase;
constexpr FrontEnd kCli = FrontEnd::CommandLine;
constexpr FrontEnd kWizard = FrontEnd::Wizard;

const NoteCase kNoteCases[] = {
    {"BeforeStart",
     UPD_CONNECT_FAILED,
     At(Phase::BeforeStart),
     kCli,
     {"Nothing was changed on the Coder"},
     {"nichts geändert"}},
    {"RefusedFileBeforeStart",
     UPD_CODER_FILE_OPEN_FAILED,
     At(Phase::BeforeStart),
     kWizard,
     {"Nothing was changed"},
     {"nichts geändert"}},
    {"StartCommandFailed",
     UPD_START_FAILED,
     At(Phase::BeforeStart),
     kCli,
     {"Nothing was written", "BIOS", "run the update again"},
     {"nichts geschrieben", "BIOS"}},
    {"BiosSilent",
     UPD_BIOS_NO_ANSWER,
     At(Phase::InBios),
     kCli,
     {"The Coder is running its BIOS and is off air", "run the update again to complete it"},
     {"Der Coder läuft in seinem BIOS", "nicht auf Sendung", "erneut starten"}},
    {"EraseRefused",
     UPD_ERASE_FAILED,
     AtRegion(2),
     kCli,
     {"erasing flash region 2", "off air", "run the update again"},
     {"Flash-Bereichs 2", "nicht auf Sendung"}},
    {"BlockFailed",
     UPD_CODER_FLASH_FAILED,
     AtBlock(0x8000, 0x0A00, "Coder_V02_16.img"),
     kCli,
     {"block 8000:0A00 of Coder_V02_16.img", "running its BIOS", "off air",
      "run the update again to complete it"},
     {"Block 8000:0A00 von Coder_V02_16.img", "BIOS", "nicht auf Sendung"}},
    {"BlockFailedInTheWizard",
     UPD_DSP_FLASH_FAILED,
     AtBlock(0xD800, 0x0040, "Dsp.dsp"),
     kWizard,
     {"block D800:0040 of Dsp.dsp", "off air", "\"<< Start\""},
     {"\"<< Start\" drücken"}},
    {"FinishFailed",
     UPD_FINISH_FAILED,
     AtBlock(0x8000, 0x0A00, "Coder_V02_16.img"),
     kCli,
     {"All files were written, but the finish command failed", "off air"},
     {"Abschlussbefehl", "nicht auf Sendung"}},
    {"NotBackAfterTheRestart",
     UPD_RECONNECT_FAILED,
     At(Phase::AfterFinish),
     kCli,
     {"All files were written and acknowledged", "tarvelin-cli identify shows what runs now"},
     {"geschrieben und bestätigt", "tarvelin-cli identify zeigt"}},
    {"NotBackInTheWizard",
     UPD_RECONNECT_FAILED,
     At(Phase::AfterFinish),
     kWizard,
     {"written and acknowledged", "\"<< Start\" and \"Next >\" show what runs now"},
     {"\"Weiter >\""}},
    {"BackInItsBios",
     UPD_RECONNECT_FAILED,
     BiosAfterRestart(),
     kCli,
     {"written and acknowledged", "restarted into its BIOS", "off air", "run the update again"},
     {"in sein BIOS", "nicht auf Sendung"}},
};

class FailureNote : public testing::TestWithParam<NoteCase> {};

TEST_P(FailureNote, SaysWhatTheCoderWasLeftWith) {
    const NoteCase& c = GetParam();
    const std::string english = FlashFailureNote(c.result, c.state, c.frontEnd, Language::English);
    const std::string german = FlashFailureNote(c.result, c.state, c.frontEnd, Language::German);
    for (const std::string& part : c.english) {
        EXPECT_NE(english.find(part), std::string::npos) << part << " in: " << english;
    }
    for (const std::string& part : c.german) {
        EXPECT_NE(german.find(part), std::string::npos) << part << " in: " << german;
    }
    // The command line's note names no button, the wizard's no command.
    const std::string other = c.frontEnd == kCli ? "<< Start" : "tarvelin-cli";
    EXPECT_EQ(english.find(other), std::string::npos) << english;
}

INSTANTIATE_TEST_SUITE_P(Ends, FailureNote, testing::ValuesIn(kNoteCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FailureNoteEnds, NoneForSuccessOrAStop) {
    for (const Phase phase : {Phase::BeforeStart, Phase::InBios, Phase::AfterFinish}) {
        for (const FrontEnd frontEnd : {kCli, kWizard}) {
            EXPECT_EQ(FlashFailureNote(UPD_OK, At(phase), frontEnd, Language::English), "");
            EXPECT_EQ(FlashFailureNote(UPD_INTERRUPTED, At(phase), frontEnd, Language::German), "");
        }
    }
}

TEST(IdentificationReasons, WhatCameBackForTheFailedOutcomes) {
    const Language en = Language::English;
    AnswerEvidence silent;
    silent.silent = true;
    silent.target = "127.0.0.1:4002";
    EXPECT_EQ(IdentificationReason(UPD_NETPC_TOO_OLD, silent, en),
              "Nothing answered on 127.0.0.1:4002, not one byte: is that the NetPC's port?");
    EXPECT_NE(
        IdentificationReason(UPD_NETPC_TOO_OLD, silent, Language::German).find("Port des NetPC"),
        std::string::npos);

    AnswerEvidence wrong;
    wrong.received = 6;
    wrong.expected = 5;
    for (const int32_t outcome : {UPD_NO_BAUD_RATE, UPD_CONNECT_FAILED, UPD_NETPC_TOO_OLD}) {
        EXPECT_EQ(IdentificationReason(outcome, wrong, en),
                  "The Coder answered the version query with 6 characters, 5 expected.")
            << outcome;
    }
    EXPECT_EQ(IdentificationReason(UPD_NO_BAUD_RATE, wrong, Language::German),
              "Der Coder hat die Versionsabfrage mit 6 Zeichen beantwortet, erwartet waren 5.");
    wrong.biosAnswer = true;
    wrong.received = 1;
    wrong.expected = 7;
    EXPECT_EQ(IdentificationReason(UPD_CONNECT_FAILED, wrong, en),
              "The Coder's BIOS answered the version query with 1 byte, 7 expected.");

    // Nothing to say: no evidence, or an outcome the evidence does not explain.
    EXPECT_EQ(IdentificationReason(UPD_CONNECT_FAILED, AnswerEvidence{}, en), "");
    EXPECT_EQ(IdentificationReason(UPD_CONNECT_FAILED, silent, en), "");
    for (const int32_t outcome : {UPD_TCP_FIRMWARE, UPD_TCP_BIOS, UPD_BIOS_TOO_OLD}) {
        EXPECT_EQ(IdentificationReason(outcome, wrong, en), "") << outcome;
    }
}

}  // namespace
