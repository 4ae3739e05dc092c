#pragma once

#include <string>

// What the simulator echoes of its command line (option values, paths) goes through here
// before it reaches a terminal, so a value cannot move the cursor or recolour the screen, and
// an error stays one line: control characters (C0 with line feed and tab, DEL, C1) are shown
// as \xNN or \u00NN, as is every byte that is not part of well-formed UTF-8.
std::string EscapeControls(const std::string& text);
