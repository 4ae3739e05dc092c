#pragma once

#include <string>

#include "update/ProcedureTexts.h"

// Texts that belong to the command line, in the two languages of the procedure's texts. Where
// the wizard names its buttons, the command line names its own commands instead.
enum class CliText {
    RestartWithUpdate,   // in place of text 210 ('press "Next >"')
    LogAt,               // %s the log's path
    NoLog,               // no place for the log could be written
    CannotWriteLog,      // %s the path, %s the system's reason
    ConfirmationNeeded,  // %s the question
    VersionMismatch,     // %s the version read back, %s the version of the file
    StopRequested,       // the first Ctrl-C
    EndedAtOnce,         // the second Ctrl-C
    NothingChanged,      // Ctrl-C before the flash sequence began
    EndedBySignal,       // %s the signal, while nothing was on its way to the coder
    LogNotKept,          // %s the file that could not be moved, %s the reason, %s the log
    LatencyNote,         // %s the device, %d ms, %s the tty name
    NoCoderFile,         // %s the path, %s the system's reason
    WouldErase,          // %s the regions
    FileToFlash,         // %s label, %s path, %d bytes, %d blocks, %s segment
    FileCannotBeRead,    // %s path, %s reason
    NoSerialPorts,
    RestartingUpdate,    // update in place of text 210: it goes on by itself
    MainPortReported,    // %d the main port the Coder reports, %d the port in use
    GoOnDespiteWarning,  // the question after a warning that was printed
    AlreadyRunsVersion,  // %s the version
    HintLabel,           // in front of a hint line
    PutFirmwareFiles,    // %s the folder
};

std::string CliTextFormat(CliText text, Language language);
