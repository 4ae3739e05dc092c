#pragma once

#include <windows.h>

#include <string>

// How the serial transport sets up a COM device on Windows, apart from the calls themselves so
// that the rules can be checked without a port.

// What CreateFileW is given for a serial device.
struct DeviceOpenArguments {
    std::wstring path;
    DWORD access = 0;
    DWORD shareMode = 0;
    DWORD creation = 0;
    DWORD flags = 0;
};

// Read and write, shared with nobody (a port another program holds is refused, and nobody gets
// it while we hold it), existing devices only, for overlapped I/O.
DeviceOpenArguments SerialOpenArguments(const std::string& devicePath);

// A read ends 5 ms after the last byte that came, and never before the first (the total
// time-outs are off). The only read time-out that behaves the same under Wine; the short read
// the transport keeps pending ends with its first byte anyway. Writes have no time-out of their
// own: Send bounds them.
COMMTIMEOUTS SerialTimeouts();

// `dcb`, as the driver reported it, set to raw 8N1 at `rate`: binary, no parity check, no flow
// control of any kind, no character replacement, errors do not stop the port. DTR and RTS on,
// as a POSIX open leaves them.
void MakeRaw8N1(DCB& dcb, DWORD rate);

// Whether the driver took what was asked: the same rate, 8 bits, no parity, one stop bit. A
// driver may accept a rate it cannot make and put another in its place (Wine makes 38400 of
// 250000): talking at that one would look like a silent coder.
bool TookLineSettings(const DCB& wanted, const DCB& actual);
