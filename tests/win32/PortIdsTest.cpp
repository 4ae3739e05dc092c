#include <gtest/gtest.h>

#include "transport/SerialPorts.h"
#include "transport/win32/DeviceIds.h"
#include "transport/win32/WideText.h"

namespace {

TEST(Win32PortIds, ComNamesAndDevices) {
    EXPECT_EQ(ComNumber(L"COM1"), 1);
    EXPECT_EQ(ComNumber(L"com31"), 31);
    EXPECT_EQ(ComNumber(L"COM256"), 256);
    for (const wchar_t* other : {L"COM", L"COM0", L"COM1a", L"LPT1", L"\\\\.\\COM3", L""}) {
        EXPECT_EQ(ComNumber(other), 0) << Narrow(other);
    }
    // Every number reaches its port through the device name, also those above 9.
    EXPECT_EQ(ResolveComPort(7), "\\\\.\\COM7");
    EXPECT_EQ(ResolveComPort(42), "\\\\.\\COM42");
    EXPECT_EQ(ResolveComPort(0), "");
}

TEST(Win32PortIds, UsbIdsAsSysfsWritesThem) {
    const UsbIds ftdi = UsbIdsOf(L"FTDIBUS\\COMPORT&VID_0403&PID_6001");
    EXPECT_EQ(ftdi.vendor, "0403");
    EXPECT_EQ(ftdi.product, "6001");
    const UsbIds cp210x = UsbIdsOf(L"USB\\VID_10C4&PID_EA60&REV_0100");
    EXPECT_EQ(cp210x.vendor, "10c4");
    EXPECT_EQ(cp210x.product, "ea60");
    EXPECT_TRUE(UsbIdsOf(L"ACPI\\PNP0501").vendor.empty()) << "a built-in UART";
    EXPECT_TRUE(UsbIdsOf(L"USB\\VID_12G4&PID_0001").vendor.empty());
}

TEST(Win32PortIds, SerialNumberOnlyWhereTheDeviceHasOne) {
    EXPECT_EQ(UsbSerialNumber(L"USB\\VID_0403&PID_6001\\A6008ISP"), "A6008ISP");
    EXPECT_EQ(UsbSerialNumber(L"USB\\VID_2341&PID_0043\\85734323231351F04161"),
              "85734323231351F04161");
    // Made up by Windows for a device without one, an interface, or not USB at all.
    EXPECT_EQ(UsbSerialNumber(L"USB\\VID_067B&PID_2303\\5&2C4B3A1&0&1"), "");
    EXPECT_EQ(UsbSerialNumber(L"USB\\VID_1234&PID_5678&MI_00\\6&1F2E3D&0&0000"), "");
    EXPECT_EQ(UsbSerialNumber(L"FTDIBUS\\VID_0403+PID_6001+A6008ISPA\\0000"), "");
    EXPECT_EQ(UsbSerialNumber(L"ACPI\\PNP0501\\1"), "");
}

}  // namespace
