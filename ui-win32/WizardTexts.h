#pragma once

#include <string>

#include "update/ProcedureTexts.h"

// What the Windows wizard says beyond the procedure's numbered texts and its templates, in
// both languages, worded as the Qt wizard words it: why it stays open, where the log is, where
// the firmware files are, and the captions of the wizard's own buttons. %1 stands for a value.
enum class WizardText {
    CloseRefusedIdentifying,
    CloseRefusedUpdating,
    LogWindowTitle,
    LogUnreadable,  // %1: the log's path
    NoLogFile,
    ChooseFirmwareFolder,
    NoSuchFolder,  // %1: the start argument, which names nothing
    BackButton,
    NextButton,
    CancelButton,
};

std::string WizardString(WizardText text, Language language);

// `text` with its %1 replaced by `value`.
std::string WithValue(const std::string& text, const std::string& value);
