#pragma once

#include <string>
#include <vector>

constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 31;

// The device COMn stands for: the link COMn in the per-user ports folder when it exists,
// otherwise the built-in map (COM1-4 ttyS0-3, COM5-20 ttyUSB0-15, COM21-31 ttyACM0-10).
// Empty for numbers outside 1..31 without a link.
std::string ResolveComPort(int number);

// $XDG_CONFIG_HOME/Orvane/ports/ (default ~/.config/Orvane/ports/).
std::string PortsFolder();

// The COM numbers 1..31 whose device exists and is a usable serial port, in increasing order.
// The wizard's port list; the same walk as ListSerialPortDetails.
std::vector<int> ListSerialPorts();

// What a technician needs to tell one port from another, and why it cannot be opened.
struct SerialPortDetails {
    int comNumber = 0;
    std::string device;      // what COMn resolves to: a link in the ports folder or /dev/ttyX
    std::string realDevice;  // the device node behind it, e.g. /dev/ttyUSB0
    std::string byId;        // the /dev/serial/by-id/ link to the same node; may be empty
    // USB details from sysfs, empty for a port that is not on USB.
    std::string usbVendorId;  // four hex digits, e.g. "0403"
    std::string usbProductId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    int latencyTimerMs = -1;  // a USB serial adapter's latency_timer; -1 when it has none
    bool usable = false;      // opens and is a terminal
    int openError = 0;        // errno of a refused open (EACCES, EBUSY, ...); 0 when it opened
};

// Every COM number 1..31 whose device is a serial port, in COM order: those that open and are
// terminals, and those whose open was refused (permission, busy), so that they can be
// explained. A legacy ttyS node without a UART behind it is left out.
std::vector<SerialPortDetails> ListSerialPortDetails();

// The sysfs details of the device node `devicePath` (symlinks followed): USB ids and names,
// latency_timer, by-id name. `sysRoot` and `byIdFolder` are seams for tests.
void ReadSerialPortDetails(const std::string& devicePath, SerialPortDetails& details,
                           const std::string& sysRoot = "/sys",
                           const std::string& byIdFolder = "/dev/serial/by-id/");

// The latency_timer in ms of the USB serial adapter behind `devicePath`; -1 when there is none.
int LatencyTimerMs(const std::string& devicePath, const std::string& sysRoot = "/sys");
