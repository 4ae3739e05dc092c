#pragma once

#include <cstdint>
#include <string>

#include "update/UpdateCodes.h"

// What the user chose on the Connect page; read afresh at every connection.
struct ConnectionChoice {
    int32_t connectionType = kConnectionTypeSerial;
    uint16_t serialPort = 1;  // COMn
    // The command line may name a device in place of COMn.
    std::string serialDevice;
    std::string tcpAddress;
    uint16_t tcpPort = 0;
};
