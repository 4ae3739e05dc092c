// tarvelin: the firmware update wizard.
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/CTarvelin.h"
#include "ui/WizardCommandLine.h"

namespace {

QtMessageHandler qtHandler = nullptr;
std::string triedDisplay;

// What Qt is told to open a window on, as the user would set it; empty when nothing is named.
std::string DisplayNamed(const std::vector<std::string>& arguments) {
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "-platform" || arguments[i] == "--platform") {
            return arguments[i] + " " + arguments[i + 1];
        }
    }
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return std::string(name) + "=" + value;
        }
    }
    return {};
}

// Qt ends the process with abort() when it finds no window system while the application is
// built; a technician on a terminal gets a core dump and the advice to reinstall. This says
// what is missing instead, and ends with exit status 1.
void WhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const auto forward = [&](QtMsgType as) {
        if (qtHandler != nullptr) {
            qtHandler(as, context, message);
        } else {
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        }
    };
    if (type != QtFatalMsg) {
        forward(type);
        return;
    }
    if (!triedDisplay.empty()) {
        forward(QtWarningMsg);  // Qt's list of the platforms it could use
    }
    std::fputs(NoWindowText(triedDisplay, SystemLanguage()).c_str(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const WizardCommandLineAnswer answer = AnswerWizardCommandLine(arguments, SystemLanguage());
    if (answer.answered) {
        std::fputs(answer.output.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    triedDisplay = DisplayNamed(arguments);
    qtHandler = qInstallMessageHandler(WhileStarting);
    CTarvelin application(argc, argv);
    qInstallMessageHandler(qtHandler);
    application.InitInstance();
    return 0;
}
