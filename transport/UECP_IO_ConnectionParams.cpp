#include "transport/UECP_IO_ConnectionParams.h"

void UECP_IO_ConnectionParams::CopyFrom(const UECP_IO_ConnectionParams& other) {
    connectTimeout = other.connectTimeout;
    responseTimeout = other.responseTimeout;
    sendTimeout = other.sendTimeout;
    openAsync = other.openAsync;
    openCallback = other.openCallback;
    openCallbackData = other.openCallbackData;
}
