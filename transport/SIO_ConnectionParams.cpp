#include "transport/SIO_ConnectionParams.h"

#include "transport/SerialSpeed.h"

bool BuildDcb(SerialLineSettings& dcb, int32_t baud) {
    dcb = SerialLineSettings{};
    dcb.baudRate = baud;
    dcb.speed = SerialSpeedFor(baud);
    return dcb.speed != 0;
}

SIO_ConnectionParams::SIO_ConnectionParams(uint16_t portNumber, int32_t baudRate)
    : port(portNumber) {
    BuildDcb(dcb, 9600);
    type = kConnectionSerial;
    // Only the rate changes; a rate without a speed constant leaves speed 0, which the
    // transport refuses at open.
    dcb.baudRate = baudRate;
    dcb.speed = SerialSpeedFor(baudRate);
    connectTimeout = 500;
    responseTimeout = 2000;
    sendTimeout = 2000;
}

void SIO_ConnectionParams::CopyFrom(const UECP_IO_ConnectionParams& other) {
    UECP_IO_ConnectionParams::CopyFrom(other);
    if (other.type != type) {
        return;
    }
    if (const auto* serial = dynamic_cast<const SIO_ConnectionParams*>(&other)) {
        port = serial->port;
        dcb = serial->dcb;
        devicePath = serial->devicePath;
    }
}

std::unique_ptr<UECP_IO_ConnectionParams> SIO_ConnectionParams::Clone() const {
    auto copy = std::make_unique<SIO_ConnectionParams>(1, 9600);
    copy->CopyFrom(*this);
    return copy;
}
