#pragma once

#include <string>
#include <vector>

#include "update/ProcedureTexts.h"

// What the wizard's start arguments (without the program's name) say about the firmware
// files: nothing, or their folder, or a file in it (a coder image, as a file manager's "Open
// with" passes it).
struct StartFolder {
    bool valid = true;
    std::string folder;  // absolute, UTF-8; empty: none given
    std::string error;   // when not valid: what the message box says
};

StartFolder StartFolderFromArguments(const std::vector<std::string>& arguments, Language language);
