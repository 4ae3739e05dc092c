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
