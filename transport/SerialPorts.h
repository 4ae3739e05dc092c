#pragma once

#include <string>
#include <vector>

#include "transport/OpenFailure.h"
#include "transport/PortHolders.h"

constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 31;

// The serial ports: /dev, sysfs and /proc in transport/posix; the registry's SERIALCOMM and
// SetupAPI in transport/win32.

// The device COMn stands for. POSIX: the link COMn in the per-user ports folder when it exists,
// otherwise the built-in map (COM1-4 ttyS0-3, COM5-20 ttyUSB0-15, COM21-31 ttyACM0-10); empty
// for numbers outside 1..31 without a link. Windows: \\.\COMn for every n from 1.
std::string ResolveComPort(int number);

// $XDG_CONFIG_HOME/Orvane/ports/ (default ~/.config/Orvane/ports/); empty on Windows, which
// has no such folder.
std::string PortsFolder();

// The COM numbers 1..31 whose device exists, is a serial port and opens, in increasing order:
// the wizard's port list. A port another program holds is listed all the same: the program may
// let go before Next, and the refusal then names it. The ports of ListSerialPortDetails that
// open, without their details. On Windows a port in use is listed too: the system refuses the
// open (access denied) but the port is there.
std::vector<int> ListSerialPorts();

// What a technician needs to tell one port from another, and why it cannot be opened.
struct SerialPortDetails {
    int comNumber = 0;
    std::string device;      // what COMn resolves to: a link in the ports folder or /dev/ttyX
    std::string realDevice;  // the device node behind it, e.g. /dev/ttyUSB0 or \Device\VCP0
    std::string byId;        // the /dev/serial/by-id/ link to the same node; may be empty
    // USB details from sysfs (SetupAPI), empty for a port that is not on USB. On Windows the
    // product is the port's friendly name and the manufacturer its driver's.
    std::string usbVendorId;  // four hex digits, e.g. "0403"
    std::string usbProductId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    int latencyTimerMs = -1;  // a USB serial adapter's latency_timer; -1 when it has none
    bool opens = false;       // opens and is a terminal: the wizard lists it
    // Opens, and no other program holds it: an open by the transport would succeed now.
    bool usable = false;
    int openError = 0;  // the system error of a refused open (EACCES, EBUSY, ...); 0 if it opened
    std::vector<PortHolder> heldBy;   // other programs that have it open
    std::vector<PortHolder> farSide;  // a pseudo-terminal's other end, which holds it too
    std::string deviceGroup;          // of a refused open: the group that owns the device node
};

// Every COM number 1..31 whose device is a serial port, in COM order: those that open and are
// terminals, and those whose open was refused (permission, busy), so that they can be
// explained. A legacy ttyS node without a UART behind it is left out.
std::vector<SerialPortDetails> ListSerialPortDetails();

// The system's half of both lists: every serial port it knows, in COM order; `describe` is
// false for the wizard, which needs only the numbers.
std::vector<SerialPortDetails> WalkSerialPorts(bool describe);

// Why the transport would refuse `port` now, as its open reports it: the refused open, or
// another program that holds the port; kind None for a usable port.
OpenFailure PortOpenFailure(const SerialPortDetails& port);

// The name of the group that owns the node at `devicePath`; empty when it cannot be found, and
// on Windows.
std::string DeviceGroup(const std::string& devicePath);

// The sysfs details of the device node `devicePath` (symlinks followed): USB ids and names,
// latency_timer, by-id name. `sysRoot` and `byIdFolder` are seams for tests. On Windows the
// SetupAPI details of the port \\.\COMn names, and the folders do not count.
void ReadSerialPortDetails(const std::string& devicePath, SerialPortDetails& details,
                           const std::string& sysRoot = "/sys",
                           const std::string& byIdFolder = "/dev/serial/by-id/");

// The latency_timer in ms of the USB serial adapter behind `devicePath`; -1 when there is none,
// and on Windows.
int LatencyTimerMs(const std::string& devicePath, const std::string& sysRoot = "/sys");
