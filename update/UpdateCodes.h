#pragma once

#include <cstdint>

// One numbering for the identification outcomes, the flash-sequence results and the two
// warnings of the version checks; 0 is success. The text of flash result c is text 396 + c.
enum UpdateCode : int32_t {
    UPD_OK = 0,
    UPD_NO_BAUD_RATE = 1,
    UPD_SERIAL_FIRMWARE = 2,
    UPD_SERIAL_BIOS = 3,
    UPD_CONNECT_FAILED = 4,
    UPD_START_FAILED = 5,
    UPD_BIOS_CONNECT_FAILED = 6,
    UPD_BIOS_NO_ANSWER = 7,
    UPD_ERASE_FAILED = 8,
    UPD_FILE_OPEN_FAILED = 9,
    UPD_CODER_FILE_OPEN_FAILED = 10,
    UPD_SAMPLES_FILE_OPEN_FAILED = 11,
    UPD_DSP_FILE_OPEN_FAILED = 12,
    UPD_FLASH_FAILED = 13,
    UPD_CODER_FLASH_FAILED = 14,
    UPD_SAMPLES_FLASH_FAILED = 15,
    UPD_DSP_FLASH_FAILED = 16,
    UPD_FINISH_FAILED = 17,
    UPD_RECONNECT_FAILED = 18,
    UPD_NETPC_TOO_OLD = 19,
    UPD_TCP_FIRMWARE = 20,
    UPD_TCP_BIOS = 21,
    UPD_BIOS_VERSION_UNKNOWN = 22,
    UPD_BIOS_TOO_OLD = 23,
    // A stop request ended the flash sequence (the command line's Ctrl-C); never in the wizard.
    UPD_INTERRUPTED = 130,
};

// The six messages a worker posts to the front end, with two integers each.
enum ProcedureMessage : uint32_t {
    WM_UPD_IDENTIFIED = 0x8001,      // wParam outcome
    WM_UPD_STATUS = 0x8002,          // wParam text number
    WM_UPD_STAGE = 0x8003,           // wParam 1..3 stage, 4 hide the stages
    WM_UPD_PROGRESS_RANGE = 0x8004,  // wParam minimum, lParam maximum
    WM_UPD_PROGRESS_STEP = 0x8005,
    WM_UPD_FINISHED = 0x8006,  // wParam result, lParam last block result
    // Beyond the six: a wait longer than about a second starts (wParam ProcedureWait, lParam the
    // longest it lasts in ms) or ends (WAIT_NONE). Front ends that show no waits ignore it.
    WM_UPD_WAIT = 0x8007,
};

// What a WM_UPD_WAIT is waiting for.
enum ProcedureWait : int64_t {
    WAIT_NONE = 0,
    WAIT_RESTART = 1,     // a reboot pause after the start or the finish command
    WAIT_ERASE = 2,       // a flash region being erased
    WAIT_BIOS_READY = 3,  // the BIOS readiness check
    WAIT_RECONNECT = 4,   // reaching the coder again after the final reboot
    WAIT_BAUD_RATE = 5,   // the baud-rate detection
};

constexpr int32_t kConnectionTypeSerial = 0;
constexpr int32_t kConnectionTypeTcp = 1;
