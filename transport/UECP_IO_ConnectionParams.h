#pragma once

#include <cstdint>
#include <memory>

class UECP_IO;

constexpr int32_t kConnectionTcp = 1;
constexpr int32_t kConnectionSerial = 2;

// (transport, event 1 = open finished, result, caller's value)
using OpenCallback = void (*)(UECP_IO* transport, int32_t event, int32_t result, void* data);

// Base of the connection records. Records are copied, never shared.
class UECP_IO_ConnectionParams {
public:
    virtual ~UECP_IO_ConnectionParams() = default;

    // Copies the base fields but never `type`; derived records copy their own fields only
    // when both records have the same type.
    virtual void CopyFrom(const UECP_IO_ConnectionParams& other);
    virtual std::unique_ptr<UECP_IO_ConnectionParams> Clone() const = 0;

    int32_t type = 0;
    int32_t connectTimeout = 1000;
    int32_t responseTimeout = 1000;  // also the handler's default wait
    int32_t sendTimeout = 1000;
    bool openAsync = false;
    OpenCallback openCallback = nullptr;
    void* openCallbackData = nullptr;

protected:
    UECP_IO_ConnectionParams() = default;
    UECP_IO_ConnectionParams(const UECP_IO_ConnectionParams&) = default;
    UECP_IO_ConnectionParams& operator=(const UECP_IO_ConnectionParams&) = default;
};
