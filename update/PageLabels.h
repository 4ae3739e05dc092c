#pragma once

#include "update/ProcedureTexts.h"

// Fixed labels of the Info and Update pages that front ends show beside the procedure's texts.
enum class PageLabel {
    CurrentVersion,  // Info page, beside the coder's version
    VersionToFlash,
    NewVersion,  // Update page, beside the version after the update
    Stage1,
    Stage2,
    Stage3,
};

inline const char* PageLabelText(PageLabel label, Language language) {
    const bool de = language == Language::German;
    switch (label) {
        case PageLabel::CurrentVersion:
            return de ? "Aktuelle Firmwareversion: " : "Current firmware version:";
        case PageLabel::VersionToFlash:
            return de ? "Zu flashende Firmwareversion:" : "Firmware version to flash:";
        case PageLabel::NewVersion:
            return de ? "Aktuelle Firmwareversion: " : "Current firmware version: ";
        case PageLabel::Stage1:
            return de ? "1. Coder-Firmware" : "1. Coder firmware";
        case PageLabel::Stage2:
            return de ? "2. DSP-Samples" : "2. DSP samples";
        case PageLabel::Stage3:
            return de ? "3. DSP-Firmware" : "3. DSP firmware";
    }
    return "";
}
