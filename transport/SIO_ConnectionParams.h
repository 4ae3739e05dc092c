#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport/UECP_IO_ConnectionParams.h"

// Line settings in place of the original DCB: the rate and 8N1 without flow control. `speed`
// is the system's speed value for `baudRate` (transport/SerialSpeed.h), filled by BuildDcb.
struct SerialLineSettings {
    int32_t baudRate = 0;
    uint32_t speed = 0;
    uint8_t dataBits = 8;
    char parity = 'N';
    uint8_t stopBits = 1;
};

// Fills `dcb` for `baud` 8N1; false when the system has no such rate.
bool BuildDcb(SerialLineSettings& dcb, int32_t baud);

// Names a COM port and its line settings.
class SIO_ConnectionParams : public UECP_IO_ConnectionParams {
public:
    explicit SIO_ConnectionParams(uint16_t portNumber = 1, int32_t baudRate = 9600);

    void CopyFrom(const UECP_IO_ConnectionParams& other) override;
    std::unique_ptr<UECP_IO_ConnectionParams> Clone() const override;

    uint16_t port = 1;  // 1 means COM1
    SerialLineSettings dcb;
    // When set, the device to open instead of the one COM`port` resolves to.
    std::string devicePath;
};
