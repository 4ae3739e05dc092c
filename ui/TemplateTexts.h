#pragma once

#include <QString>

#include "update/ProcedureTexts.h"

// Texts the page templates and the wizard buttons carry, in both languages. The procedure's
// numbered texts come from LoadText; these are the controls' own captions.
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

QString TemplateString(TemplateText text, Language language);

// A numbered procedure text as a QString.
QString Text(int number, Language language);
