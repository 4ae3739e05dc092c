#include "transport/OpenFailure.h"

#include <cerrno>

OpenFailureKind DeviceFailureKind(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenFailureKind::NoDevice;
        case EACCES:
        case EPERM:
            return OpenFailureKind::Permission;
        case EBUSY:
        case EWOULDBLOCK:
            return OpenFailureKind::Busy;
        case ENOTTY:
            return OpenFailureKind::NotTerminal;
        default:
            return OpenFailureKind::Other;
    }
}

OpenFailureKind SocketFailureKind(int error) {
    switch (error) {
        case ECONNREFUSED:
            return OpenFailureKind::Refused;
        case ETIMEDOUT:
            return OpenFailureKind::TimedOut;
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
            return OpenFailureKind::Unreachable;
        default:
            return OpenFailureKind::Other;
    }
}
