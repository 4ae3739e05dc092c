#pragma once

#include <cstdint>

// The result of every protocol, transport and command operation; 21..40 carry a device's
// negative acknowledgement.
enum UECP_IO_Error : int32_t {
    ERR_OK = 0,
    ERR_CANCELLED_BY_USER = 1,
    ERR_OPEN_PARAMS_NOT_SET = 2,
    ERR_DEVICE_NOT_OPEN = 3,
    ERR_DEVICE_ALREADY_OPEN = 4,
    ERR_SEND_TIMEOUT = 5,
    ERR_SEND_BUFFER_FULL = 6,
    ERR_READ_TIMEOUT = 7,
    ERR_CONNECT = 8,
    ERR_CRC = 9,
    ERR_NO_ACK = 10,
    ERR_NO_ANSWER = 11,
    ERR_UNEXPECTED_SIZE = 12,
    ERR_INVALID_PARAMETER = 13,
    ERR_NOT_SUPPORTED = 14,
    ERR_FILE_CREATE = 15,
    ERR_FILE_OPEN = 16,
    ERR_FILE_READ = 17,
    ERR_FILE_WRITE = 18,
    ERR_FILE_EOF = 19,
    ERR_FILE_FORMAT = 20,
    ERR_NACK_UNDEFINED = 21,
    ERR_NACK_1 = 22,
    ERR_NACK_2 = 23,
    ERR_NACK_3 = 24,
    ERR_NACK_4 = 25,
    ERR_NACK_5 = 26,
    ERR_NACK_6 = 27,
    ERR_NACK_7 = 28,
    ERR_NACK_8 = 29,
    ERR_NACK_9 = 30,
    ERR_NACK_10 = 31,
    ERR_NACK_11 = 32,
    ERR_NACK_12 = 33,
    ERR_NACK_13 = 34,
    ERR_NACK_14 = 35,
    ERR_NACK_15 = 36,
    ERR_NACK_16 = 37,
    ERR_NACK_17 = 38,
    ERR_NACK_20 = 39,
    ERR_NACK_21 = 40,
};

constexpr int32_t kResultCodeCount = 41;

// The key of the code's text in the string table's "UECP_IO_Errors" section; never null.
const char* ErrorName(int32_t code);

// Maps the code byte of a UECP acknowledgement to a result.
UECP_IO_Error AckCodeToError(uint8_t code);
