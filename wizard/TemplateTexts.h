#pragma once

#include <string>

#include "update/ProcedureTexts.h"

// Texts the page templates and the wizard buttons carry, in both languages, UTF-8. The
// procedure's numbered texts come from LoadText; these are the controls' own captions.
enum class TemplateText {
    SerialRadio,      // Connect 1002
    SerialPortLabel,  // Connect, beside the port list
    TcpRadio,         // Connect 1004
    AddressLabel,     // Connect 1007
    TcpPortLabel,     // Connect 1008
    InfoConnecting,   // Info 1006 as the template has it
    InfoInstruction,  // Info 1010
    UpdateStarting,   // Update 1013 as the template has it
    ShowLogFile,      // Update 1014
    BackButton,
    NextButton,
    CancelButton,
};

// Button captions carry their mnemonic as '&' before the letter.
std::string TemplateTextString(TemplateText text, Language language);
