#include "update/OpenFailureTexts.h"

#include <algorithm>

#include "transport/SystemErrorText.h"
#include "update/OpenFailureHints.h"

namespace {

std::string Pick(Language language, const std::string& english, const std::string& german) {
    return language == Language::German ? german : english;
}

std::string Holder(const OpenFailure& failure) {
    if (failure.holderPid == 0) {
        return "";
    }
    const std::string name = failure.holderName.empty() ? "?" : failure.holderName;
    return name + " (pid " + std::to_string(failure.holderPid) + ")";
}

// The system's own words, for the cases our texts do not name.
std::string SystemText(const OpenFailure& failure) {
    if (failure.kind == OpenFailureKind::HostNotFound) {
        return ResolverErrorText(failure.systemError);
    }
    return failure.systemError != 0 ? SystemErrorText(failure.systemError) : "";
}

}  // namespace

std::string OpenFailureReason(const OpenFailure& failure, Language language) {
    const std::string t = DeviceTargetText(failure);
    switch (failure.kind) {
        case OpenFailureKind::None:
            return "";
        case OpenFailureKind::NoDevice:
            if (failure.comPort != 0) {
                return MissingComPortReason(failure, language);
            }
            return Pick(language, t + " does not exist.", t + " existiert nicht.");
        case OpenFailureKind::Permission:
            return Pick(language, "No permission to open " + t + ".",
                        "Keine Berechtigung, " + t + " zu öffnen.");
        case OpenFailureKind::Busy: {
            const std::string holder = Holder(failure);
            if (holder.empty()) {
                return Pick(language, t + " is in use by another program.",
                            t + " wird von einem anderen Programm benutzt.");
            }
            return Pick(language, t + " is in use by " + holder + ".",
                        t + " wird von " + holder + " benutzt.");
        }
        case OpenFailureKind::NotTerminal:
            return Pick(language, t + " is not a serial port.",
                        t + " ist keine serielle Schnittstelle.");
        case OpenFailureKind::Refused:
            return Pick(language, t + " refused the connection.",
                        t + " hat die Verbindung abgelehnt.");
        case OpenFailureKind::TimedOut:
            return Pick(language, t + " did not answer in time.",
                        t + " hat nicht rechtzeitig geantwortet.");
        case OpenFailureKind::HostNotFound: {
            const std::string host = t.substr(0, t.rfind(':'));
            return Pick(language, "The host " + host + " was not found.",
                        "Der Rechner " + host + " wurde nicht gefunden.");
        }
        case OpenFailureKind::Unreachable:
            return Pick(language, t + " cannot be reached (no route).",
                        t + " ist nicht erreichbar (keine Route).");
        case OpenFailureKind::Other:
            break;
    }
    return Pick(language, "Could not open " + t + ": " + SystemText(failure) + ".",
                t + " konnte nicht geöffnet werden: " + SystemText(failure) + ".");
}

std::string OpenFailureHint(const OpenFailure& failure, Language language) {
    switch (failure.kind) {
        case OpenFailureKind::None:
            return "";
        case OpenFailureKind::NoDevice:
        case OpenFailureKind::Permission:
        case OpenFailureKind::Busy:
        case OpenFailureKind::NotTerminal:
            return DeviceOpenHint(failure, language);
        case OpenFailureKind::Refused:
            return Pick(language,
                        "Check the address and the port number of the NetPC, and that it is "
                        "switched on.",
                        "Adresse und Portnummer des NetPC prüfen, und ob er eingeschaltet ist.");
        case OpenFailureKind::TimedOut:
        case OpenFailureKind::Unreachable:
            return Pick(language,
                        "Check the network path to the NetPC (cable, VPN, firewall) and its "
                        "address.",
                        "Den Netzwerkweg zum NetPC (Kabel, VPN, Firewall) und seine Adresse "
                        "prüfen.");
        case OpenFailureKind::HostNotFound:
            return Pick(language, "Check the spelling of the host name, or give its IP address.",
                        "Die Schreibweise des Rechnernamens prüfen, oder die IP-Adresse angeben.");
        case OpenFailureKind::Other:
            break;
    }
    return "";
}

std::string UnusablePortsNote(const std::vector<OpenFailure>& refused, Language language) {
    if (refused.empty()) {
        return "";
    }
    const std::string count = std::to_string(refused.size());
    std::string note = refused.size() == 1
                           ? Pick(language, "1 serial port is present but not usable:",
                                  "1 serielle Schnittstelle ist vorhanden, aber nicht nutzbar:")
                           : Pick(language, count + " serial ports are present but not usable:",
                                  count +
                                      " serielle Schnittstellen sind vorhanden, aber nicht "
                                      "nutzbar:");
    std::vector<std::string> hints;
    for (const OpenFailure& failure : refused) {
        note += "\n" + OpenFailureReason(failure, language);
        const std::string hint = OpenFailureHint(failure, language);
        if (!hint.empty() && std::find(hints.begin(), hints.end(), hint) == hints.end()) {
            hints.push_back(hint);
        }
    }
    for (const std::string& hint : hints) {
        note += "\n" + hint;
    }
    return note;
}
