#pragma once

#include <cstdint>
#include <string>

#include "update/ProcedureTexts.h"

// The decisions a front end takes on the procedure's messages, kept here so the wizard and the
// command line agree.

// What the identification found, as the version checks need it.
struct IdentificationState {
    uint16_t serialPort = 0;
    int baudRate = 0;
    std::string tcpAddress;
    uint16_t tcpPort = 0;
    std::string biosVersion;
    uint16_t mainPort = 0;
    // Over TCP/IP: the NetPC did not answer the transfer-mode query, so it could never be
    // switched to update mode once the coder runs its BIOS.
    bool transferModeUnknown = false;
};

// How one text of the Info page changes: left as it is, or set in plain or error style.
struct TextChange {
    bool changed = false;
    std::string text;
    bool errorStyle = false;
};

struct IdentificationVerdict {
    TextChange status;  // Info status line
    TextChange detail;  // Info detail text
    TextChange hint;    // Info hint below the versions
    bool showVersions = false;
    bool mayGoOn = false;  // Next enabled
    // 0, or the warning of the checks: UPD_BIOS_VERSION_UNKNOWN or UPD_BIOS_TOO_OLD.
    int32_t warning = 0;
    bool mainPortDiffers = false;
    // When the update may not go on: the code that names why (the outcome, UPD_NETPC_TOO_OLD or
    // UPD_BIOS_TOO_OLD); 0 when it may.
    int32_t stopCode = 0;
};

// The version checks: for each outcome the first case that holds.
IdentificationVerdict DecideIdentification(int32_t outcome, const IdentificationState& state,
                                           Language language);

// True when `biosVersion` sorts below "2.10" character by character ("10.0" does).
bool BiosVersionTooOld(const std::string& biosVersion);

// Text 396 + result; for results 14 to 16 a line break and the reason from the last block
// result follow.
std::string UpdateResultText(int32_t result, int32_t lastBlockResult, Language language);
