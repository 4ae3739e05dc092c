#include "transport/win32/CommSettings.h"

#include "transport/win32/WideText.h"

DeviceOpenArguments SerialOpenArguments(const std::string& devicePath) {
    DeviceOpenArguments arguments;
    arguments.path = Widen(devicePath);
    arguments.access = GENERIC_READ | GENERIC_WRITE;
    arguments.shareMode = 0;
    arguments.creation = OPEN_EXISTING;
    arguments.flags = FILE_FLAG_OVERLAPPED;
    return arguments;
}

COMMTIMEOUTS SerialTimeouts() {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 5;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return timeouts;
}

void MakeRaw8N1(DCB& dcb, DWORD rate) {
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = rate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
}

bool TookLineSettings(const DCB& wanted, const DCB& actual) {
    return actual.BaudRate == wanted.BaudRate && actual.ByteSize == 8 &&
           actual.Parity == NOPARITY && actual.StopBits == ONESTOPBIT;
}
