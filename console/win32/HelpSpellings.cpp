#include "console/HelpSpellings.h"

// cmd and PowerShell continue a line with different characters: an example stays on one line.
const HelpSpellings& SystemHelpSpellings() {
    static const HelpSpellings spellings{
        "%USERPROFILE%\\Downloads\\release",
        "\\\\.\\COM12",
        " ",
        "interrupted by Ctrl-C or Ctrl-Break; 143 by a log-off or shut-down, 129 by\n"
        "          closing the console window",
    };
    return spellings;
}
