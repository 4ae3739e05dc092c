#include "transport/TCP_ConnectionParams.h"

#include <utility>

TCP_ConnectionParams::TCP_ConnectionParams(std::string hostName, uint16_t portNumber)
    : host(std::move(hostName)), port(portNumber) {
    type = kConnectionTcp;
    connectTimeout = 5000;
    responseTimeout = 3000;
    sendTimeout = 3000;
}

TCP_ConnectionParams::TCP_ConnectionParams(const TCP_ConnectionParams& other)
    : UECP_IO_ConnectionParams(other), host(other.host), address(other.address), port(other.port) {}

TCP_ConnectionParams& TCP_ConnectionParams::operator=(const TCP_ConnectionParams& other) {
    if (this != &other) {
        UECP_IO_ConnectionParams::CopyFrom(other);
        host = other.host;
        address = other.address;
        port = other.port;
    }
    return *this;
}

void TCP_ConnectionParams::CopyFrom(const UECP_IO_ConnectionParams& other) {
    UECP_IO_ConnectionParams::CopyFrom(other);
    if (other.type != type) {
        return;
    }
    // The type alone does not prove the class: a record may carry a foreign type number.
    if (const auto* tcp = dynamic_cast<const TCP_ConnectionParams*>(&other)) {
        host = tcp->host;
        address = tcp->address;
        port = tcp->port;
    }
}

std::unique_ptr<UECP_IO_ConnectionParams> TCP_ConnectionParams::Clone() const {
    auto copy = std::make_unique<TCP_ConnectionParams>("127.0.0.1", 6666);
    copy->CopyFrom(*this);
    return copy;
}
