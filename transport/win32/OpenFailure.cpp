#include "transport/OpenFailure.h"

#include <winsock2.h>

OpenFailureKind DeviceFailureKind(int error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
            return OpenFailureKind::NoDevice;
        // A COM port opened by another program refuses the next open with access denied;
        // Windows does not say by whom.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return OpenFailureKind::Busy;
        // What the comm calls answer for a device that is no serial port.
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            return OpenFailureKind::NotTerminal;
        default:
            return OpenFailureKind::Other;
    }
}

OpenFailureKind SocketFailureKind(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            return OpenFailureKind::Refused;
        case WSAETIMEDOUT:
            return OpenFailureKind::TimedOut;
        case WSAHOST_NOT_FOUND:
        case WSANO_DATA:
            return OpenFailureKind::HostNotFound;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETDOWN:
        case WSAEHOSTDOWN:
            return OpenFailureKind::Unreachable;
        default:
            return OpenFailureKind::Other;
    }
}
