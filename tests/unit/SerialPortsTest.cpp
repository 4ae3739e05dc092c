#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "transport/SerialPorts.h"

namespace {

class SerialPortsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("tarvelin-serialports-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
};

TEST_F(SerialPortsTest, PortsFolderFollowsTheConfigHome) {
    EXPECT_EQ(PortsFolder(), folder.string() + "/Orvane/ports/");
    setenv("XDG_CONFIG_HOME", "relative/path", 1);  // ignored, as the convention says
    setenv("HOME", "/home/tech", 1);
    EXPECT_EQ(PortsFolder(), "/home/tech/.config/Orvane/ports/");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(PortsFolder(), "/home/tech/.config/Orvane/ports/");
}

TEST_F(SerialPortsTest, BuiltInMapCoversOneToThirtyOne) {
    EXPECT_EQ(ResolveComPort(1), "/dev/ttyS0");
    EXPECT_EQ(ResolveComPort(4), "/dev/ttyS3");
    EXPECT_EQ(ResolveComPort(5), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveComPort(20), "/dev/ttyUSB15");
    EXPECT_EQ(ResolveComPort(21), "/dev/ttyACM0");
    EXPECT_EQ(ResolveComPort(31), "/dev/ttyACM10");
    EXPECT_EQ(ResolveComPort(0), "");
    EXPECT_EQ(ResolveComPort(32), "");
    EXPECT_EQ(ResolveComPort(-1), "");
}

TEST_F(SerialPortsTest, ALinkInThePortsFolderWins) {
    const auto ports = folder / "Orvane" / "ports";
    std::filesystem::create_directories(ports);
    std::filesystem::create_symlink("/dev/null", ports / "COM2");
    std::filesystem::create_symlink("/dev/null", ports / "COM40");
    EXPECT_EQ(ResolveComPort(2), (ports / "COM2").string());
    EXPECT_EQ(ResolveComPort(40), (ports / "COM40").string()) << "links reach beyond 31";
    EXPECT_EQ(ResolveComPort(3), "/dev/ttyS2");
    // /dev/null opens but is no terminal: not a usable serial port.
    for (int number : ListSerialPorts()) {
        EXPECT_NE(number, 2);
    }
}

}  // namespace
