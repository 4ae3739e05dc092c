#pragma once

#include <string>
#include <vector>

#include "update/ProcedureTexts.h"

// What the wizard answers on a terminal before it opens a window: --help and --version need
// no display, so they are answered before Qt looks for one.
struct WizardCommandLineAnswer {
    bool answered = false;  // false: start the wizard on the arguments
    std::string output;     // for standard output
};

// `arguments` without the program's name.
WizardCommandLineAnswer AnswerWizardCommandLine(const std::vector<std::string>& arguments,
                                                Language language);

// Why the wizard cannot open its window, for standard error. `tried` names what Qt was told
// to open ("DISPLAY=:1", "QT_QPA_PLATFORM=xcb"); empty when the environment names no display.
std::string NoWindowText(const std::string& tried, Language language);
