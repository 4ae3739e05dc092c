#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "transport/UECP_IO_ConnectionParams.h"

// Names a NetPC by host and port. A host of more than kMaxHostLength characters does not fit
// the original record and is refused when the transport opens.
class TCP_ConnectionParams : public UECP_IO_ConnectionParams {
public:
    static constexpr size_t kMaxHostLength = 511;

    explicit TCP_ConnectionParams(std::string hostName = "127.0.0.1", uint16_t portNumber = 6666);
    TCP_ConnectionParams(const TCP_ConnectionParams& other);
    // Copies everything, whatever the type.
    TCP_ConnectionParams& operator=(const TCP_ConnectionParams& other);

    void CopyFrom(const UECP_IO_ConnectionParams& other) override;
    std::unique_ptr<UECP_IO_ConnectionParams> Clone() const override;

    std::string host;
    uint32_t address = 0;  // IPv4, network byte order; 0 or 0xFFFFFFFF: resolve `host`
    uint16_t port = 0;
};
