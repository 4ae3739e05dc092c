#pragma once

#include <string>

// Why a transport refused to open. The result code stays what the caller expects
// (ERR_CONNECT); this travels beside it so a front end can say what to do.
enum class OpenFailureKind {
    None,
    NoDevice,     // the device node does not exist
    Permission,   // not ours to open (group dialout)
    Busy,         // another process holds it
    NotTerminal,  // exists, but is no serial line
    Refused,      // nobody listens on that TCP port
    TimedOut,     // no answer within the connect budget
    HostNotFound,
    Unreachable,  // no route to the host or its network
    Other,
};

struct OpenFailure {
    OpenFailureKind kind = OpenFailureKind::None;
    // The system's code: errno, or GetLastError / WSAGetLastError on Windows; for HostNotFound
    // the resolver's (getaddrinfo's) code. SystemErrorText.h has its words.
    int systemError = 0;
    std::string target;       // device path, or "host:port"; empty for a COM number without one
    int comPort = 0;          // the COM number the user chose; 0 when a device path was given
    std::string holderName;   // Busy: the other process's name, when it could be read
    int holderPid = 0;        // Busy: its pid; 0 when only its lock was seen
    std::string deviceGroup;  // Permission: the group that owns the device node

    bool failed() const { return kind != OpenFailureKind::None; }
};

// The kind a device open's system error stands for.
OpenFailureKind DeviceFailureKind(int error);
// The kind a connect's system error stands for.
OpenFailureKind SocketFailureKind(int error);
