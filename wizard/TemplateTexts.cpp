#include "wizard/TemplateTexts.h"

std::string TemplateTextString(TemplateText text, Language language) {
    const bool de = language == Language::German;
    switch (text) {
        case TemplateText::SerialRadio:
            return de ? "Serielle Verbindung" : "Use serial connection";
        case TemplateText::SerialPortLabel:
        case TemplateText::TcpPortLabel:
            return "Port:";
        case TemplateText::TcpRadio:
            return de ? "TCP/IP-Verbindung" : "Use TCP/IP connection";
        case TemplateText::AddressLabel:
            return de ? "IP-Adresse / Hostname:" : "IP address / Host name:";
        case TemplateText::InfoConnecting:
            return LoadText(201, language);
        case TemplateText::InfoInstruction:
            return de ? "Drücken Sie \"Weiter >\", um den Flashvorgang zu starten,\n"
                        "\"Abbrechen\" , um keine Änderung vorzunehmen."
                      : "Press \"Next >\" to start the update, \"Cancel\" to quit without "
                        "changes.";
        case TemplateText::UpdateStarting:
            return LoadText(211, language);
        case TemplateText::ShowLogFile:
            return de ? "Logdatei zeigen..." : "Show log file...";
        case TemplateText::BackButton:
            return de ? "< &Zurück" : "< &Back";
        case TemplateText::NextButton:
            return de ? "&Weiter >" : "&Next >";
        case TemplateText::CancelButton:
            return de ? "Abbrechen" : "Cancel";
    }
    return {};
}
