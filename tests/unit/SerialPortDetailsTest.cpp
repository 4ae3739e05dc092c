// The port details list-ports shows and the latency note reads, from a sysfs tree laid out as
// the kernel lays out a USB serial adapter and a CDC ACM device.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempDirectory.h"
#include "transport/SerialPorts.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

// A device "node" (a plain file is enough for the sysfs side) and its sysfs entries.
struct FakeSystem {
    TempDirectory root;
    fs::path Sys() const { return fs::path(root.Path()) / "sys"; }
    fs::path Dev() const { return fs::path(root.Path()) / "dev"; }

    // `usbDevice` holds the ids; the tty hangs below `below` inside it.
    fs::path AddTty(const std::string& name, const std::string& below) {
        const fs::path usb = Sys() / "devices/pci0000:00/0000:00:14.0/usb1/1-2";
        Write(usb / "idVendor", "0403");
        Write(usb / "idProduct", "6001");
        Write(usb / "manufacturer", "FTDI");
        Write(usb / "product", "FT232R USB UART");
        Write(usb / "serial", "A9XYZ123");
        const fs::path device = usb / below;
        fs::create_directories(device);
        fs::create_directories(Sys() / "class/tty" / name);
        fs::create_symlink(device, Sys() / "class/tty" / name / "device");
        Write(Dev() / name, "");
        return device;
    }
};

TEST(SerialPortDetails, UsbSerialAdapterWithLatencyTimerAndById) {
    FakeSystem system;
    const fs::path port = system.AddTty("ttyUSB0", "1-2:1.0/ttyUSB0");
    Write(port / "latency_timer", "16");
    fs::create_directories(system.Dev() / "serial/by-id");
    fs::create_symlink(system.Dev() / "ttyUSB0",
                       system.Dev() / "serial/by-id/usb-FTDI_FT232R_USB_UART_A9XYZ123-if00-port0");
    // The user names it through a link, as the ports folder does.
    fs::create_symlink(system.Dev() / "ttyUSB0", system.Dev() / "COM5");

    SerialPortDetails details;
    const std::string byId = (system.Dev() / "serial/by-id/").string();
    ReadSerialPortDetails((system.Dev() / "COM5").string(), details, system.Sys().string(), byId);
    EXPECT_EQ(details.realDevice, fs::canonical(system.Dev() / "ttyUSB0").string());
    EXPECT_EQ(details.byId, byId + "usb-FTDI_FT232R_USB_UART_A9XYZ123-if00-port0");
    EXPECT_EQ(details.usbVendorId, "0403");
    EXPECT_EQ(details.usbProductId, "6001");
    EXPECT_EQ(details.manufacturer, "FTDI");
    EXPECT_EQ(details.product, "FT232R USB UART");
    EXPECT_EQ(details.serialNumber, "A9XYZ123");
    EXPECT_EQ(details.latencyTimerMs, 16);
    EXPECT_EQ(LatencyTimerMs((system.Dev() / "COM5").string(), system.Sys().string()), 16);
}

TEST(SerialPortDetails, AcmDeviceHasNoLatencyTimer) {
    FakeSystem system;
    system.AddTty("ttyACM0", "1-2:1.0");  // CDC ACM: the tty's device is the interface
    SerialPortDetails details;
    ReadSerialPortDetails((system.Dev() / "ttyACM0").string(), details, system.Sys().string(),
                          (system.Dev() / "serial/by-id/").string());
    EXPECT_EQ(details.usbVendorId, "0403");
    EXPECT_EQ(details.serialNumber, "A9XYZ123");
    EXPECT_EQ(details.latencyTimerMs, -1);
    EXPECT_TRUE(details.byId.empty());
}

TEST(SerialPortDetails, NoSysfsEntryNoUsbDetails) {
    FakeSystem system;
    Write(system.Dev() / "ttyS0", "");
    Write(system.Sys() / "class/tty/ttyBAD/device/latency_timer", "x16");
    Write(system.Dev() / "ttyBAD", "");
    SerialPortDetails details;
    ReadSerialPortDetails((system.Dev() / "ttyS0").string(), details, system.Sys().string(),
                          (system.Dev() / "serial/by-id/").string());
    EXPECT_FALSE(details.realDevice.empty());
    EXPECT_TRUE(details.usbVendorId.empty());
    EXPECT_EQ(details.latencyTimerMs, -1);
    EXPECT_EQ(LatencyTimerMs((system.Dev() / "ttyBAD").string(), system.Sys().string()), -1);
    EXPECT_EQ(LatencyTimerMs((system.Dev() / "missing").string(), system.Sys().string()), -1);
}

TEST(SerialPortDetails, PortsFolderWithoutDoubleSlash) {
    setenv("XDG_CONFIG_HOME", "/tmp/config//", 1);
    EXPECT_EQ(PortsFolder(), "/tmp/config/Orvane/ports/");
    unsetenv("XDG_CONFIG_HOME");
}

TEST(SerialPortDetails, TheWizardsListIsThePortsThatOpen) {
    std::vector<int> opening;
    for (const SerialPortDetails& port : ListSerialPortDetails()) {
        EXPECT_GE(port.comNumber, kFirstComPort);
        EXPECT_LE(port.comNumber, kLastComPort);
        EXPECT_EQ(port.opens, port.openError == 0) << port.device;
        EXPECT_EQ(port.usable, port.opens && port.heldBy.empty()) << port.device;
        EXPECT_EQ(PortOpenFailure(port).failed(), !port.usable) << port.device;
        if (port.opens) {
            opening.push_back(port.comNumber);
        }
    }
    EXPECT_EQ(ListSerialPorts(), opening);
}

}  // namespace
