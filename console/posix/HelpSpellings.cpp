#include "console/HelpSpellings.h"

const HelpSpellings& SystemHelpSpellings() {
    static const HelpSpellings spellings{
        "~/Downloads/release",
        "/dev/ttyUSB0",
        " \\\n        ",
        "interrupted by Ctrl-C (SIGINT); 143 by SIGTERM, 129 by SIGHUP",
    };
    return spellings;
}
