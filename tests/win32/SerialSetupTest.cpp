#include <gtest/gtest.h>

#include "transport/SerialSpeed.h"
#include "transport/win32/CommSettings.h"

namespace {

// Another program must not be able to read the coder's answers while we flash, and we must not
// talk on a port another program has: only an unshared open refuses both.
TEST(Win32SerialSetup, PortsOpenUnsharedExistingAndOverlapped) {
    const DeviceOpenArguments open = SerialOpenArguments("\\\\.\\COM12");
    EXPECT_EQ(open.path, L"\\\\.\\COM12");
    EXPECT_EQ(open.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(open.shareMode, 0u);
    EXPECT_EQ(open.creation, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(open.flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
    EXPECT_EQ(SerialOpenArguments("\\\\.\\COMü").path, L"\\\\.\\COM\u00fc") << "UTF-8 names";
}

TEST(Win32SerialSetup, ReadsEndAfterAnIntervalAndWritesHaveNoTimeOutOfTheirOwn) {
    const COMMTIMEOUTS timeouts = SerialTimeouts();
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 5u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
}

TEST(Win32SerialSetup, LineIsRaw8N1WithoutFlowControl) {
    // What a driver may report before: 7E2 with both kinds of flow control and replacements.
    DCB dcb{};
    dcb.BaudRate = 9600;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fParity = dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = TRUE;
    dcb.fOutX = dcb.fInX = dcb.fErrorChar = dcb.fNull = dcb.fAbortOnError = TRUE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    MakeRaw8N1(dcb, 115200);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fParity || dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fDsrSensitivity);
    EXPECT_FALSE(dcb.fOutX || dcb.fInX || dcb.fErrorChar || dcb.fNull || dcb.fAbortOnError);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    // SetCommState refuses equal XON and XOFF characters: the driver's stay.
    EXPECT_NE(dcb.XonChar, dcb.XoffChar);
}

struct ReadBack {
    const char* what;
    DWORD rate;
    BYTE byteSize;
    BYTE parity;
    BYTE stopBits;
    bool took;
};

class Win32LineReadBack : public testing::TestWithParam<ReadBack> {};

TEST_P(Win32LineReadBack, OnlyTheLineAsAskedPasses) {
    DCB wanted{};
    MakeRaw8N1(wanted, 250000);
    DCB actual = wanted;
    actual.BaudRate = GetParam().rate;
    actual.ByteSize = GetParam().byteSize;
    actual.Parity = GetParam().parity;
    actual.StopBits = GetParam().stopBits;
    EXPECT_EQ(TookLineSettings(wanted, actual), GetParam().took);
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, Win32LineReadBack,
    testing::Values(ReadBack{"Taken", 250000, 8, NOPARITY, ONESTOPBIT, true},
                    // Wine's serial driver turns a rate it has no constant for into 38400.
                    ReadBack{"RateReplaced", 38400, 8, NOPARITY, ONESTOPBIT, false},
                    ReadBack{"SevenBits", 250000, 7, NOPARITY, ONESTOPBIT, false},
                    ReadBack{"Parity", 250000, 8, EVENPARITY, ONESTOPBIT, false},
                    ReadBack{"TwoStopBits", 250000, 8, NOPARITY, TWOSTOPBITS, false}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(Win32SerialSetup, EveryPositiveRateIsARateTheDriverIsAskedFor) {
    EXPECT_EQ(SerialSpeedFor(115200), 115200u);
    EXPECT_EQ(SerialSpeedFor(250000), 250000u) << "the read-back decides, not a table";
    EXPECT_EQ(SerialSpeedFor(0), 0u);
    EXPECT_EQ(SerialSpeedFor(-9600), 0u);
}

}  // namespace
