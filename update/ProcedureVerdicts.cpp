#include "update/ProcedureVerdicts.h"

#include "uecp/ResultCodes.h"
#include "update/StringManager.h"
#include "update/UpdateCodes.h"

namespace {

constexpr const char* kUnknownBiosVersion = "???";

TextChange Plain(std::string text) {
    return TextChange{true, std::move(text), false};
}
TextChange Error(std::string text) {
    return TextChange{true, std::move(text), true};
}

std::string Pick(Language language, const std::string& english, const std::string& german) {
    return language == Language::German ? german : english;
}

// The end of every note for a coder left in its BIOS.
std::string OffAir(FrontEnd frontEnd, Language language) {
    if (frontEnd == FrontEnd::Wizard) {
        return Pick(language,
                    "the Coder is running its BIOS and is off air: press \"<< Start\" and run the "
                    "update again to complete it.",
                    "der Coder läuft in seinem BIOS und ist nicht auf Sendung: \"<< Start\" "
                    "drücken und das Update erneut ausführen, um es abzuschließen.");
    }
    return Pick(language,
                "the Coder is running its BIOS and is off air: run the update again to complete "
                "it.",
                "der Coder läuft in seinem BIOS und ist nicht auf Sendung: das Update erneut "
                "starten, um es abzuschließen.");
}

std::string Capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

std::string InBiosNote(int32_t result, const FlashEndState& state, FrontEnd frontEnd,
                       Language language) {
    const std::string offAir = OffAir(frontEnd, language);
    if (result == UPD_FINISH_FAILED) {
        return Pick(language, "All files were written, but the finish command failed; ",
                    "Alle Dateien wurden geschrieben, aber der Abschlussbefehl schlug fehl; ") +
               offAir;
    }
    if (state.blockKnown) {
        const std::string block = FormatString(
            "%04X:%04X", {static_cast<int64_t>(state.segment), static_cast<int64_t>(state.offset)});
        return Pick(language, "Stopped at block " + block + " of " + state.file + "; ",
                    "Abgebrochen bei Block " + block + " von " + state.file + "; ") +
               offAir;
    }
    if (state.eraseRegion >= 0) {
        const std::string region = std::to_string(state.eraseRegion);
        return Pick(language, "Stopped while erasing flash region " + region + "; ",
                    "Abgebrochen beim Löschen des Flash-Bereichs " + region + "; ") +
               offAir;
    }
    return Capitalised(offAir);
}

std::string Count(int32_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

bool BiosVersionTooOld(const std::string& biosVersion) {
    return biosVersion.compare("2.10") < 0;
}

IdentificationVerdict DecideIdentification(int32_t outcome, const IdentificationState& state,
                                           Language language) {
    IdentificationVerdict verdict;
    const auto connectedTcp = [&] {
        return Plain(FormatTextHostPort(203, language, state.tcpAddress, state.tcpPort));
    };
    switch (outcome) {
        case UPD_NO_BAUD_RATE:
            verdict.status = Error(LoadText(204, language));
            verdict.detail = Plain(LoadText(206, language));
            break;
        case UPD_CONNECT_FAILED:
            verdict.status = Error(LoadText(204, language));
            break;
        case UPD_SERIAL_FIRMWARE:
            verdict.status = Plain(FormatTextInt(202, language, state.serialPort));
            verdict.detail = Plain(FormatTextInt(205, language, state.baudRate));
            verdict.showVersions = true;
            verdict.mayGoOn = true;
            break;
        case UPD_TCP_FIRMWARE:
            verdict.status = connectedTcp();
            if (state.biosVersion == kUnknownBiosVersion) {
                verdict.detail = Error(LoadText(221, language));
                verdict.warning = UPD_BIOS_VERSION_UNKNOWN;
                verdict.showVersions = true;
                verdict.mayGoOn = true;
            } else if (BiosVersionTooOld(state.biosVersion)) {
                verdict.detail = Error(FormatTextString(222, language, state.biosVersion));
                verdict.warning = UPD_BIOS_TOO_OLD;
            } else if (state.mainPort != 0 && state.mainPort != state.tcpPort) {
                verdict.detail = Error(LoadText(223, language));
                verdict.mainPortDiffers = true;
                verdict.showVersions = true;
                verdict.mayGoOn = true;
            } else {
                verdict.showVersions = true;
                verdict.mayGoOn = true;
            }
            break;
        case UPD_SERIAL_BIOS:
        case UPD_TCP_BIOS:
            verdict.status = Plain(LoadText(209, language));
            if (outcome == UPD_TCP_BIOS && BiosVersionTooOld(state.biosVersion)) {
                verdict.detail = Error(FormatTextString(222, language, state.biosVersion));
                verdict.warning = UPD_BIOS_TOO_OLD;
            } else {
                verdict.detail = Plain(LoadText(210, language));
                verdict.mayGoOn = true;
            }
            break;
        case UPD_NETPC_TOO_OLD:
            verdict.status = connectedTcp();
            verdict.detail = Error(LoadText(220, language));
            if (state.biosVersion == kUnknownBiosVersion) {
                verdict.hint = Error(LoadText(224, language));
            }
            break;
        default:
            break;
    }
    // An update through a NetPC that cannot be switched would restart the coder into a BIOS
    // that is then out of reach. The outcome stays what was found; only the gate closes.
    if (state.transferModeUnknown && (outcome == UPD_TCP_FIRMWARE || outcome == UPD_TCP_BIOS)) {
        verdict.detail = Error(LoadText(220, language));
        verdict.hint = state.biosVersion == kUnknownBiosVersion ? Error(LoadText(224, language))
                                                                : TextChange{};
        verdict.warning = 0;
        verdict.mainPortDiffers = false;
        verdict.mayGoOn = false;
        verdict.stopCode = UPD_NETPC_TOO_OLD;
        return verdict;
    }
    if (!verdict.mayGoOn) {
        verdict.stopCode = verdict.warning == UPD_BIOS_TOO_OLD ? UPD_BIOS_TOO_OLD
                           : outcome > 0                       ? outcome
                                                               : UPD_CONNECT_FAILED;
    }
    return verdict;
}

std::string UpdateResultText(int32_t result, int32_t lastBlockResult, Language language) {
    std::string text = LoadText(396 + result, language);
    if (result >= UPD_CODER_FLASH_FAILED && result <= UPD_DSP_FLASH_FAILED) {
        text += "\n";
        switch (lastBlockResult) {
            case ERR_NACK_15:
                text += LoadText(300, language);
                break;
            case ERR_NACK_16:
                text += LoadText(301, language);
                break;
            case ERR_NACK_17:
                text += LoadText(302, language);
                break;
            default:
                text += ErrorText(lastBlockResult);
                break;
        }
    }
    return text;
}

std::string FlashFailureNote(int32_t result, const FlashEndState& state, FrontEnd frontEnd,
                             Language language) {
    if (result == UPD_OK || result == UPD_INTERRUPTED) {
        return "";
    }
    switch (state.phase) {
        case FlashEndState::Phase::BeforeStart:
            if (result == UPD_START_FAILED) {
                // Sent but not confirmed: the coder may have restarted all the same.
                return Pick(language,
                            "Nothing was written to the Coder. If it no longer answers, it "
                            "restarted into its BIOS and is off air: run the update again to "
                            "complete it.",
                            "Auf den Coder wurde nichts geschrieben. Antwortet er nicht mehr, ist "
                            "er in sein BIOS neu gestartet und nicht auf Sendung: das Update "
                            "erneut starten, um es abzuschließen.");
            }
            return Pick(language, "Nothing was changed on the Coder: it runs the firmware it had.",
                        "Am Coder wurde nichts geändert: er läuft mit seiner bisherigen Firmware.");
        case FlashEndState::Phase::InBios:
            return InBiosNote(result, state, frontEnd, language);
        case FlashEndState::Phase::AfterFinish:
            break;
    }
    if (state.biosAfterRestart) {
        return Pick(language,
                    "All files were written and acknowledged, but the Coder restarted into its "
                    "BIOS, not into the new firmware, and is off air: run the update again; if it "
                    "stays in its BIOS, check the firmware files.",
                    "Alle Dateien wurden geschrieben und bestätigt, aber der Coder ist in sein "
                    "BIOS statt in die neue Firmware gestartet und nicht auf Sendung: das Update "
                    "erneut starten; bleibt er im BIOS, die Firmwaredateien prüfen.");
    }
    const std::string written = Pick(language,
                                     "All files were written and acknowledged; the Coder did not "
                                     "answer after its restart. ",
                                     "Alle Dateien wurden geschrieben und bestätigt; nach dem "
                                     "Neustart hat der Coder nicht geantwortet. ");
    if (frontEnd == FrontEnd::Wizard) {
        return written + Pick(language, "\"<< Start\" and \"Next >\" show what runs now.",
                              "\"<< Start\" und \"Weiter >\" zeigen, was jetzt läuft.");
    }
    return written + Pick(language, "tarvelin-cli identify shows what runs now.",
                          "tarvelin-cli identify zeigt, was jetzt läuft.");
}

std::string InterruptionText(const FlashEndState& state, Language language) {
    switch (state.phase) {
        case FlashEndState::Phase::BeforeStart:
            return Pick(language,
                        "Interrupted by the user before the update started; nothing was changed "
                        "on the Coder.",
                        "Vom Benutzer abgebrochen, bevor das Update begann; am Coder wurde nichts "
                        "geändert.");
        case FlashEndState::Phase::InBios: {
            const std::string block = FormatString(
                "%04X:%04X",
                {static_cast<int64_t>(state.segment), static_cast<int64_t>(state.offset)});
            return Pick(language,
                        "Interrupted by the user at block " + block + " of " + state.file +
                            "; the Coder is running its BIOS: run the update again to complete "
                            "it.",
                        "Vom Benutzer abgebrochen bei Block " + block + " von " + state.file +
                            "; der Coder läuft in seinem BIOS: das Update erneut starten, um es "
                            "abzuschließen.");
        }
        case FlashEndState::Phase::AfterFinish:
            break;
    }
    return Pick(language,
                "Interrupted by the user after the finish command; the new firmware is written "
                "and the Coder restarts with it.",
                "Vom Benutzer abgebrochen nach dem Abschlussbefehl; die neue Firmware ist "
                "geschrieben und der Coder startet mit ihr neu.");
}

std::string IdentificationReason(int32_t outcome, const AnswerEvidence& evidence,
                                 Language language) {
    if (outcome == UPD_NETPC_TOO_OLD && evidence.silent) {
        return Pick(
            language,
            "Nothing answered on " + evidence.target + ", not one byte: is that the NetPC's port?",
            "Auf " + evidence.target +
                " hat nichts geantwortet, kein einziges Byte: ist das der Port des NetPC?");
    }
    const bool failed = outcome == UPD_NO_BAUD_RATE || outcome == UPD_CONNECT_FAILED ||
                        outcome == UPD_NETPC_TOO_OLD;
    if (!failed || evidence.received < 0) {
        return "";
    }
    if (evidence.biosAnswer) {
        return Pick(language,
                    "The Coder's BIOS answered the version query with " +
                        Count(evidence.received, "byte", "bytes") + ", " +
                        std::to_string(evidence.expected) + " expected.",
                    "Das BIOS des Coders hat die Versionsabfrage mit " +
                        Count(evidence.received, "Byte", "Bytes") +
                        " beantwortet, erwartet waren " + std::to_string(evidence.expected) + ".");
    }
    return Pick(language,
                "The Coder answered the version query with " +
                    Count(evidence.received, "character", "characters") + ", " +
                    std::to_string(evidence.expected) + " expected.",
                "Der Coder hat die Versionsabfrage mit " +
                    Count(evidence.received, "Zeichen", "Zeichen") +
                    " beantwortet, erwartet waren " + std::to_string(evidence.expected) + ".");
}
