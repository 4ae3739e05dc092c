#include "ui/WizardCommandLine.h"

namespace {

std::string HelpText(Language language) {
    if (language == Language::German) {
        return "Aufruf: tarvelin [ORDNER | CODER-FIRMWARE]\n"
               "Aktualisiert die Firmware eines T1x-RDS-Coders mit einem Assistenten (Verbinden,\n"
               "Info, Update), über eine serielle Schnittstelle oder über TCP/IP und den NetPC\n"
               "des Coders.\n"
               "\n"
               "  ORDNER          mit diesem Ordner der Firmwaredateien (*.img, *.smp, *.dsp)\n"
               "                  beginnen\n"
               "  CODER-FIRMWARE  eine Coder-Firmware (*.img), wie sie ein Dateimanager mit\n"
               "                  \"Öffnen mit\" übergibt: ihr Ordner wird genommen\n"
               "Ohne Angabe nimmt Tarvelin die Firmwaredateien neben dem Programm oder fragt\n"
               "nach ihrem Ordner und merkt ihn sich.\n"
               "\n"
               "  -h, --help      diese Hilfe zeigen und beenden\n"
               "  -V, --version   die Version zeigen und beenden\n"
               "\n"
               "Rückgabewert:\n"
               "  0   der Assistent wurde geschlossen (wie ein Update ausging, zeigt der\n"
               "      Assistent und steht im Protokoll TarvelinLog.txt)\n"
               "  1   der Assistent kann sein Fenster nicht öffnen (keine Anzeige: auf einem\n"
               "      Terminal tarvelin-cli nehmen)\n";
    }
    return "Usage: tarvelin [FOLDER | CODER_IMAGE]\n"
           "Update the firmware of a T1x RDS coder with a wizard (Connect, Info, Update), over a\n"
           "serial port or over TCP/IP through the coder's NetPC.\n"
           "\n"
           "  FOLDER          start on this folder of firmware files (*.img, *.smp, *.dsp)\n"
           "  CODER_IMAGE     a coder firmware file (*.img), as a file manager's \"Open with\"\n"
           "                  passes it: the folder that holds it is used\n"
           "Without one, the wizard takes the firmware files beside the program, or asks for\n"
           "their folder and remembers it.\n"
           "\n"
           "  -h, --help      print this help and exit\n"
           "  -V, --version   print the version and exit\n"
           "\n"
           "Exit status:\n"
           "  0   the wizard was closed (how an update ended is shown in the wizard and\n"
           "      written to the log TarvelinLog.txt)\n"
           "  1   the wizard cannot open its window (no display: on a terminal use\n"
           "      tarvelin-cli)\n";
}

}  // namespace

WizardCommandLineAnswer AnswerWizardCommandLine(const std::vector<std::string>& arguments,
                                                Language language) {
    WizardCommandLineAnswer answer;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            answer.answered = true;
            answer.output = HelpText(language);
            return answer;
        }
        if (argument == "--version" || argument == "-V") {
            answer.answered = true;
            answer.output = std::string("tarvelin ") + TARVELIN_FILE_VERSION + "\n";
            return answer;
        }
    }
    return answer;
}

std::string NoWindowText(const std::string& tried, Language language) {
    const bool de = language == Language::German;
    std::string reason;
    if (tried.empty()) {
        reason = de ? "keine Anzeige (DISPLAY und WAYLAND_DISPLAY sind nicht gesetzt)"
                    : "no display (DISPLAY and WAYLAND_DISPLAY are not set)";
    } else {
        reason = de ? tried + " lässt sich nicht öffnen (warum, steht in Qts Meldung darüber)"
                    : tried + " cannot be opened (Qt's message above says why)";
    }
    return de ? "tarvelin: Der Assistent kann sein Fenster nicht öffnen: " + reason +
                    ".\nStarten Sie ihn in einer Desktop-Sitzung, oder nehmen Sie auf einem "
                    "Terminal tarvelin-cli (tarvelin-cli --help).\n"
              : "tarvelin: the wizard cannot open its window: " + reason +
                    ".\nStart it in a desktop session, or on a terminal use tarvelin-cli "
                    "(tarvelin-cli --help).\n";
}
