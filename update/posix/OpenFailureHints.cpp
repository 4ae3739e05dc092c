#include "update/OpenFailureHints.h"

#include "transport/SerialPorts.h"

namespace {

std::string Pick(Language language, const std::string& english, const std::string& german) {
    return language == Language::German ? german : english;
}

bool IsModemManager(const OpenFailure& failure) {
    return failure.holderName == "ModemManager";
}

}  // namespace

std::string DeviceTargetText(const OpenFailure& failure) {
    if (failure.comPort == 0) {
        return failure.target;
    }
    const std::string com = "COM" + std::to_string(failure.comPort);
    return failure.target.empty() ? com : com + " (" + failure.target + ")";
}

std::string MissingComPortReason(const OpenFailure& failure, Language language) {
    const std::string com = "COM" + std::to_string(failure.comPort);
    if (failure.target.empty()) {
        return Pick(language,
                    com + " stands for no device: only COM" + std::to_string(kFirstComPort) +
                        " to COM" + std::to_string(kLastComPort) + " have one without a link.",
                    com + " steht für kein Gerät: nur COM" + std::to_string(kFirstComPort) +
                        " bis COM" + std::to_string(kLastComPort) +
                        " haben eines ohne Verknüpfung.");
    }
    return Pick(language, com + " stands for " + failure.target + ", which does not exist.",
                com + " steht für " + failure.target + ", das es nicht gibt.");
}

std::string DeviceOpenHint(const OpenFailure& failure, Language language) {
    switch (failure.kind) {
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
        default:
            return "";
    }
}
