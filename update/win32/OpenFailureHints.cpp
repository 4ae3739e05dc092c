#include "update/OpenFailureHints.h"

#include "transport/SerialPorts.h"

// Windows names a serial port by its COM number and does not say which program holds one:
// the hints point to the Device Manager, where the numbers are given and changed.

namespace {

std::string Pick(Language language, const std::string& english, const std::string& german) {
    return language == Language::German ? german : english;
}

}  // namespace

std::string DeviceTargetText(const OpenFailure& failure) {
    if (failure.comPort == 0 || failure.target == ResolveComPort(failure.comPort)) {
        return failure.comPort == 0 ? failure.target : "COM" + std::to_string(failure.comPort);
    }
    return "COM" + std::to_string(failure.comPort) + " (" + failure.target + ")";
}

std::string MissingComPortReason(const OpenFailure& failure, Language language) {
    const std::string com = "COM" + std::to_string(failure.comPort);
    return Pick(language, "There is no serial port " + com + ".",
                "Es gibt keine serielle Schnittstelle " + com + ".");
}

std::string DeviceOpenHint(const OpenFailure& failure, Language language) {
    switch (failure.kind) {
        case OpenFailureKind::NoDevice:
            return Pick(language,
                        "Check the cable and the COM port number: the Device Manager shows the "
                        "adapter's number under \"Ports (COM & LPT)\", tarvelin-cli list-ports "
                        "the serial ports present.",
                        "Kabel und COM-Nummer prüfen: der Geräte-Manager zeigt die Nummer des "
                        "Adapters unter \"Anschlüsse (COM & LPT)\", tarvelin-cli list-ports die "
                        "vorhandenen seriellen Schnittstellen.");
        case OpenFailureKind::Permission:
            return Pick(language,
                        "Ask an administrator for access to the port, or check its driver in "
                        "the Device Manager.",
                        "Einen Administrator um Zugriff auf die Schnittstelle bitten, oder ihren "
                        "Treiber im Geräte-Manager prüfen.");
        case OpenFailureKind::Busy:
            return Pick(language,
                        "Close the program that uses the port (a terminal program, another "
                        "updater), then try again.",
                        "Das Programm beenden, das die Schnittstelle benutzt (ein "
                        "Terminalprogramm, ein anderes Update-Programm), dann erneut versuchen.");
        case OpenFailureKind::NotTerminal:
            return Pick(language,
                        "Choose the COM port of the serial adapter (Device Manager, \"Ports (COM "
                        "& LPT)\", or tarvelin-cli list-ports).",
                        "Die COM-Schnittstelle des seriellen Adapters wählen (Geräte-Manager, "
                        "\"Anschlüsse (COM & LPT)\", oder tarvelin-cli list-ports).");
        default:
            return "";
    }
}
