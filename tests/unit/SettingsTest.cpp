// The per-user settings: what a first start reads, what comes back of what was written (the
// registry on Windows, the wizard's settings file on Linux), and the Connect page's rules for
// which values a choice writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "TempDirectory.h"
#include "UserFolders.h"
#include "update/ConnectionSettings.h"
#include "update/Settings.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : folders_(root_.Path()) {}

    // An application of its own for every test, so no test sees another's values.
    std::string NewApplication() {
        std::random_device random;
        const std::string application = "tarvelin-test-" + std::to_string(random() % 1000000u);
        expectedLocation_ = folders_.SettingsLocation(application);
        return application;
    }

    TempDirectory root_;
    UserFolders folders_;
    std::string expectedLocation_;
};

TEST_F(SettingsTest, AFirstStartReadsTheDefaults) {
    const Settings settings(NewApplication());
    EXPECT_EQ(settings.Location(), expectedLocation_);
    EXPECT_EQ(settings.ReadInt(kSerialPortValue, 1), 1);
    EXPECT_EQ(settings.ReadString(kTcpAddressValue, "none"), "none");
    const ConnectionSettings choice = LoadConnectionSettings(settings);
    EXPECT_EQ(choice.connectionType, 0);
    EXPECT_EQ(choice.serialPort, 1);
    EXPECT_EQ(choice.tcpAddress, "");
    EXPECT_EQ(choice.tcpPort, 0);
}

TEST_F(SettingsTest, NumbersComeBackAsStoredDwords) {
    Settings settings(NewApplication());
    std::string error;
    for (const int32_t value : {0, 1, -1, 4001, 65536, std::numeric_limits<int32_t>::max(),
                                std::numeric_limits<int32_t>::min()}) {
        ASSERT_TRUE(settings.WriteInt(kTcpPortValue, value, error)) << error;
        EXPECT_EQ(settings.ReadInt(kTcpPortValue, 7), value);
    }
    // A text is no number.
    ASSERT_TRUE(settings.WriteString(kSerialPortValue, "netpc", error)) << error;
    EXPECT_EQ(settings.ReadInt(kSerialPortValue, 7), 7);
}

TEST_F(SettingsTest, TextsComeBackAsWritten) {
    Settings settings(NewApplication());
    std::string error;
    for (const std::string& value : std::vector<std::string>{
             "", "netpc.local", "192.168.10.20", "a,b;c=d", " padded ", "@at", "@@", "@Invalid()",
             "quote\" back\\slash", "Grüße, €", "C:\\Firmware\\Übertragung", "tab\tline\nend\r",
             std::string("x\x01") + "1f", "[Settings]", "; not a comment"}) {
        ASSERT_TRUE(settings.WriteString(kTcpAddressValue, value, error)) << error;
        EXPECT_EQ(settings.ReadString(kTcpAddressValue, "fallback"), value);
    }
}

TEST_F(SettingsTest, ARenamedProgramHasSettingsOfItsOwn) {
    Settings first(NewApplication());
    const Settings second(NewApplication());
    std::string error;
    ASSERT_TRUE(first.WriteInt(kConnectionTypeValue, 1, error)) << error;
    ASSERT_TRUE(first.WriteString(kFirmwareFolderValue, "/srv/firmware", error)) << error;
    EXPECT_EQ(first.ReadInt(kConnectionTypeValue, 0), 1);
    EXPECT_EQ(second.ReadInt(kConnectionTypeValue, 0), 0);
    EXPECT_EQ(second.ReadString(kFirmwareFolderValue, ""), "");
    EXPECT_EQ(Settings(first.Application()).ReadString(kFirmwareFolderValue, ""), "/srv/firmware");
}

TEST_F(SettingsTest, AChoiceLeavesTheOtherTransportsValues) {
    Settings settings(NewApplication());
    std::string error;
    ConnectionSettings serial;
    serial.serialPort = 5;
    serial.tcpAddress = "not written";
    ASSERT_TRUE(StoreConnectionSettings(settings, serial, error)) << error;
    EXPECT_EQ(settings.ReadString(kTcpAddressValue, "absent"), "absent");

    ConnectionSettings tcp;
    tcp.connectionType = 1;
    tcp.serialPort = 9;  // not written: the list is not what was left
    tcp.tcpAddress = "netpc.local";
    tcp.tcpPort = 4001;
    ASSERT_TRUE(StoreConnectionSettings(settings, tcp, error)) << error;
    ConnectionSettings loaded = LoadConnectionSettings(settings);
    EXPECT_EQ(loaded.connectionType, 1);
    EXPECT_EQ(loaded.serialPort, 5);
    EXPECT_EQ(loaded.tcpAddress, "netpc.local");
    EXPECT_EQ(loaded.tcpPort, 4001);

    // Nothing selected in the list is stored as -1; an unknown type is kept as it is.
    serial.serialPort = -1;
    ASSERT_TRUE(StoreConnectionSettings(settings, serial, error)) << error;
    loaded = LoadConnectionSettings(settings);
    EXPECT_EQ(loaded.connectionType, 0);
    EXPECT_EQ(loaded.serialPort, -1);
    EXPECT_EQ(loaded.tcpAddress, "netpc.local");
    EXPECT_EQ(loaded.tcpPort, 4001);
    tcp.connectionType = 2;
    ASSERT_TRUE(StoreConnectionSettings(settings, tcp, error)) << error;
    EXPECT_EQ(LoadConnectionSettings(settings).connectionType, 2);
}

TEST_F(SettingsTest, AFailedWriteSaysWhy) {
    Settings settings(NewApplication());
    if (!folders_.BlockSettings()) {
        GTEST_SKIP() << "no way to make a settings write fail here";
    }
    std::string error;
    EXPECT_FALSE(settings.WriteInt(kConnectionTypeValue, 1, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(StoreConnectionSettings(settings, ConnectionSettings{}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(settings.ReadInt(kConnectionTypeValue, 3), 3);
}

TEST(ProgramApplicationName, IsTheExecutablesBaseName) {
    EXPECT_EQ(ProgramApplicationName(), "tarvelin_unit_tests");
}

}  // namespace
