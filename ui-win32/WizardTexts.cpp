#include "ui-win32/WizardTexts.h"

std::string WizardString(WizardText text, Language language) {
    const bool de = language == Language::German;
    switch (text) {
        case WizardText::CloseRefusedIdentifying:
            return de ? "Der Assistent spricht gerade mit dem Coder; er lässt sich schließen, "
                        "sobald der Verbindungsversuch beendet ist."
                      : "The wizard is talking to the Coder; it can be closed as soon as the "
                        "connection attempt has ended.";
        case WizardText::CloseRefusedUpdating:
            return de ? "Der Coder wird gerade aktualisiert; ein Schließen jetzt ließe ihn in "
                        "seinem Bios zurück."
                      : "The Coder is being updated; closing now would leave it in its BIOS.";
        case WizardText::LogWindowTitle:
            return de ? "Logdatei" : "Log file";
        case WizardText::LogUnreadable:
            return de ? "Die Logdatei %1 kann nicht gelesen werden."
                      : "The log file %1 cannot be read.";
        case WizardText::NoLogFile:
            return de ? "Keine Logdatei: weder der Firmwareordner noch der Statusordner des "
                        "Benutzers ist beschreibbar."
                      : "No log file: neither the firmware folder nor the user's state folder "
                        "can be written.";
        case WizardText::ChooseFirmwareFolder:
            return de ? "Ordner mit den Firmwaredateien wählen"
                      : "Choose the folder with the firmware files";
        case WizardText::NoSuchFolder:
            return de ? "%1 gibt es nicht. Starten Sie Tarvelin mit dem Ordner der "
                        "Firmwaredateien (oder einer Coder-Firmware darin) oder ohne Angabe, "
                        "um den Ordner zu wählen."
                      : "%1 does not exist. Start Tarvelin with the folder of the firmware "
                        "files (or a coder firmware in it), or without one to choose the folder.";
        case WizardText::BackButton:
            return de ? "< &Zurück" : "< &Back";
        case WizardText::NextButton:
            return de ? "&Weiter >" : "&Next >";
        case WizardText::CancelButton:
            return de ? "Abbrechen" : "Cancel";
    }
    return {};
}

std::string WithValue(const std::string& text, const std::string& value) {
    std::string result = text;
    const size_t at = result.find("%1");
    if (at != std::string::npos) {
        result.replace(at, 2, value);
    }
    return result;
}
