#include "console/SignalPipe.h"

std::string SignalPipe::Name(int signal) {
    switch (signal) {
        case kSignalInterrupt:
            return "SIGINT";
        case kSignalTerminate:
            return "SIGTERM";
        case kSignalHangUp:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}
