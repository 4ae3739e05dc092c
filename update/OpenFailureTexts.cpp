#include "update/OpenFailureTexts.h"

#include <algorithm>

#include "transport/SerialPorts.h"
#include "transport/SystemErrorText.h"

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

// What the user chose, and what it stands for: "COM5 (/dev/ttyUSB0)" for a COM number.
std::string Target(const OpenFailure& failure) {
    if (failure.comPort == 0) {
        return failure.target;
    }
    const std::string com = "COM" + std::to_string(failure.comPort);
    return failure.target.empty() ? com : com + " (" + failure.target + ")";
}

bool IsModemManager(const OpenFailure& failure) {
    return failure.holderName == "ModemManager";
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
    const std::string t = Target(failure);
    const std::string com = "COM" + std::to_string(failure.comPort);
    switch (failure.kind) {
        case OpenFailureKind::None:
            return "";
        case OpenFailureKind::NoDevice:
            if (failure.comPort != 0 && failure.target.empty()) {
                return Pick(language,
                            com + " stands for no device: only COM" +
                                std::to_string(kFirstComPort) + " to COM" +
                                std::to_string(kLastComPort) + " have one without a link.",
                            com + " steht für kein Gerät: nur COM" + std::to_string(kFirstComPort) +
                                " bis COM" + std::to_string(kLastComPort) +
                                " haben eines ohne Verknüpfung.");
            }
            if (failure.comPort != 0) {
                return Pick(language,
                            com + " stands for " + failure.target + ", which does not exist.",
                            com + " steht für " + failure.target + ", das es nicht gibt.");
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
            if (failure.comPort != 0 && failure.target.empty()) {
                const std::string link = PortsFolder() + "COM" + std::to_string(failure.comPort);
                return Pick(language,
                            "Choose a port that tarvelin-cli list-ports shows, or link the device "
                            "as that port, for example: ln -s /dev/ttyUSB0 " +
                                link,
                            "Eine Schnittstelle wählen, die tarvelin-cli list-ports zeigt, oder "
                            "das Gerät als diese verknüpfen, zum Beispiel: ln -s /dev/ttyUSB0 " +
                                link);
            }
            return Pick(language,
                        "Check the cable and the port number; tarvelin-cli list-ports shows the "
                        "serial ports present.",
                        "Kabel und Schnittstellennummer prüfen; tarvelin-cli list-ports zeigt die "
                        "vorhandenen seriellen Schnittstellen.");
        case OpenFailureKind::Permission: {
            const std::string group = failure.deviceGroup.empty() ? "dialout" : failure.deviceGroup;
            return Pick(language,
                        "Add your user to the group " + group + ": sudo usermod -aG " + group +
                            " $USER, then log in again.",
                        "Den Benutzer in die Gruppe " + group + " aufnehmen: sudo usermod -aG " +
                            group + " $USER, danach neu anmelden.");
        }
        case OpenFailureKind::Busy:
            if (IsModemManager(failure)) {
                return Pick(language,
                            "Keep ModemManager away from the port: a udev rule with "
                            "ENV{ID_MM_DEVICE_IGNORE}=\"1\" for the adapter, or stop "
                            "ModemManager.",
                            "ModemManager von der Schnittstelle fernhalten: eine udev-Regel mit "
                            "ENV{ID_MM_DEVICE_IGNORE}=\"1\" für den Adapter, oder ModemManager "
                            "beenden.");
            }
            return Pick(language, "Close the other program, then try again.",
                        "Das andere Programm beenden, dann erneut versuchen.");
        case OpenFailureKind::NotTerminal:
            return Pick(language,
                        "Choose the device of the serial adapter (tarvelin-cli list-ports).",
                        "Das Gerät des seriellen Adapters wählen (tarvelin-cli list-ports).");
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
