#include "uecp/ResultCodes.h"

namespace {

constexpr const char* kUnknown = "IDS_ERR_UNKNOWN";

// Indexed by value; 35..38 share the unknown key.
constexpr const char* kNames[kResultCodeCount] = {
    "IDS_ERR_OK",
    "IDS_ERR_CANCELLED_BY_USER",
    "IDS_ERR_OPEN_PARAMS_NOT_SET",
    "IDS_ERR_DEVICE_NOT_OPEN",
    "IDS_ERR_DEVICE_ALREADY_OPEN",
    "IDS_ERR_SEND_TIMEOUT",
    "IDS_ERR_SEND_BUFFER_FULL",
    "IDS_ERR_READ_TIMEOUT",
    "IDS_ERR_CONNECT",
    "IDS_ERR_CRC",
    "IDS_ERR_NO_ACK",
    "IDS_ERR_NO_ANSWER",
    "IDS_ERR_UNEXPECTED_SIZE",
    "IDS_ERR_INVALID_PARAMETER",
    "IDS_ERR_NOT_SUPPORTED",
    "IDS_ERR_FILE_CREATE",
    "IDS_ERR_FILE_OPEN",
    "IDS_ERR_FILE_READ",
    "IDS_ERR_FILE_WRITE",
    "IDS_ERR_FILE_EOF",
    "IDS_ERR_FILE_FORMAT",
    "IDS_ERR_NACK_UNDEFINED",
    "IDS_ERR_NACK_1",
    "IDS_ERR_NACK_2",
    "IDS_ERR_NACK_3",
    "IDS_ERR_NACK_4",
    "IDS_ERR_NACK_5",
    "IDS_ERR_NACK_6",
    "IDS_ERR_NACK_7",
    "IDS_ERR_NACK_8",
    "IDS_ERR_NACK_9",
    "IDS_ERR_NACK_10",
    "IDS_ERR_NACK_11",
    "IDS_ERR_NACK_12",
    "IDS_ERR_NACK_13",
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    "IDS_ERR_NACK_20",
    "IDS_ERR_NACK_21",
};

}  // namespace

const char* ErrorName(int32_t code) {
    if (code < 0 || code >= kResultCodeCount) {
        return kUnknown;
    }
    return kNames[code];
}

UECP_IO_Error AckCodeToError(uint8_t code) {
    if (code == 0) {
        return ERR_OK;
    }
    if (code <= 17) {
        return static_cast<UECP_IO_Error>(ERR_NACK_UNDEFINED + code);
    }
    if (code == 20) {
        return ERR_NACK_20;
    }
    if (code == 21) {
        return ERR_NACK_21;
    }
    return ERR_NACK_UNDEFINED;
}
