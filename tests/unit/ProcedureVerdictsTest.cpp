#include <gtest/gtest.h>

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

}  // namespace
