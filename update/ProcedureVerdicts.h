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

// Where a flash sequence ended, as far as it decides what the coder was left with.
struct FlashEndState {
    enum class Phase {
        BeforeStart,  // the start command was not accepted: the coder runs what it ran
        InBios,       // after the start command, or found in its BIOS: off air until completed
        AfterFinish,  // every block acknowledged and the finish command accepted
    };
    Phase phase = Phase::BeforeStart;
    int eraseRegion = -1;     // the region whose erase command failed; -1 for none
    bool blockKnown = false;  // blocks were being written; `segment`:`offset` of `file` last
    uint16_t segment = 0;
    uint16_t offset = 0;
    std::string file;
    bool biosAfterRestart = false;  // after the finish: found in its BIOS, not the new firmware
};

// Who shows a note: the command line names its commands, the wizard its buttons.
enum class FrontEnd { CommandLine, Wizard };

// The note below a failed update's own texts: what the failure left on the coder and what to
// do now. Empty for success and for a stop request, whose own text says it.
std::string FlashFailureNote(int32_t result, const FlashEndState& state, FrontEnd frontEnd,
                             Language language);

// What a stop request meant for the coder, for the phase of the flash sequence it ended;
// `segment`:`offset` of `file` is the block that was to be written next. The log takes the
// English one.
std::string InterruptionText(const FlashEndState& state, Language language);

// What came back on the identification's connections, where the system has no reason to give.
struct AnswerEvidence {
    // A TCP connection to `target` (host:port) on which not one byte came back.
    bool silent = false;
    std::string target;
    // The last version answer of the wrong size (characters of a firmware answer, bytes of a
    // BIOS answer); received < 0 when there was none.
    bool biosAnswer = false;
    int32_t received = -1;
    int32_t expected = 0;
};

// The reason beside an identification that may not go on, from what came back; empty when the
// evidence says nothing about that outcome.
std::string IdentificationReason(int32_t outcome, const AnswerEvidence& evidence,
                                 Language language);
