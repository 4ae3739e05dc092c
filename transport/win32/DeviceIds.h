#pragma once

#include <string>

// The parts of Windows' device names and ids that the port list shows.

// n of a port name "COMn" (any case, n from 1); 0 for any other name.
int ComNumber(const std::wstring& name);

struct UsbIds {
    std::string vendor;  // four lower-case hex digits, as sysfs writes them; empty when absent
    std::string product;
};
// The VID_xxxx and PID_xxxx of a hardware or instance id ("USB\VID_0403&PID_6001&REV_0600",
// "FTDIBUS\COMPORT&VID_0403&PID_6001").
UsbIds UsbIdsOf(const std::wstring& id);

// The serial number that ends a USB device's instance id ("USB\VID_0403&PID_6001\A6008ISP").
// Empty for one of an interface (&MI_), and where Windows made the last part up for a device
// without a serial number (it then holds '&').
std::string UsbSerialNumber(const std::wstring& instanceId);
