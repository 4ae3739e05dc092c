#include "wizard/GuidanceTexts.h"

std::string GuidanceTextString(GuidanceText text, Language language) {
    const bool de = language == Language::German;
    switch (text) {
        case GuidanceText::CloseRefusedIdentifying:
            return de ? "Der Assistent spricht gerade mit dem Coder; er lässt sich schließen, "
                        "sobald der Verbindungsversuch beendet ist."
                      : "The wizard is talking to the Coder; it can be closed as soon as the "
                        "connection attempt has ended.";
        case GuidanceText::CloseRefusedUpdating:
            return de ? "Der Coder wird gerade aktualisiert; ein Schließen jetzt ließe ihn in "
                        "seinem Bios zurück."
                      : "The Coder is being updated; closing now would leave it in its BIOS.";
        case GuidanceText::PortTooHigh:
            return de ? "Ports reichen nur bis 65535." : "Ports go up to 65535 only.";
        case GuidanceText::LogWindowTitle:
            return de ? "Logdatei" : "Log file";
        case GuidanceText::LogShownHere:
            return de ? "Kein Programm zum Öffnen von Textdateien gefunden; die Logdatei wird "
                        "hier gezeigt:"
                      : "No program to open text files was found; the log file is shown here:";
        case GuidanceText::CopyLogPath:
            return de ? "Pfad kopieren" : "Copy path";
        case GuidanceText::LogUnreadable:
            return de ? "Die Logdatei %1 kann nicht gelesen werden."
                      : "The log file %1 cannot be read.";
        case GuidanceText::NoLogFile:
            return de ? "Keine Logdatei: weder der Firmwareordner noch der Statusordner des "
                        "Benutzers ist beschreibbar."
                      : "No log file: neither the firmware folder nor the user's state folder "
                        "can be written.";
        case GuidanceText::ChooseFirmwareFolder:
            return de ? "Ordner mit den Firmwaredateien wählen"
                      : "Choose the folder with the firmware files";
        case GuidanceText::NoSuchFolder:
            return de ? "%1 gibt es nicht. Starten Sie Tarvelin mit dem Ordner der "
                        "Firmwaredateien (oder einer Coder-Firmware darin) oder ohne Angabe, "
                        "um den Ordner zu wählen."
                      : "%1 does not exist. Start Tarvelin with the folder of the firmware files "
                        "(or a coder firmware in it), or without one to choose the folder.";
        case GuidanceText::Usage:
            return de ? "Aufruf: tarvelin [ORDNER | CODER-FIRMWARE.img]\nTarvelin nimmt "
                        "höchstens einen Ordner mit den Firmwaredateien."
                      : "Usage: tarvelin [FOLDER | CODER-FIRMWARE.img]\nTarvelin takes at most "
                        "one folder with the firmware files.";
    }
    return {};
}
