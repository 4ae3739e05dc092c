#pragma once

#include <string>

// Text from the device (versions, names) passes through here before it reaches a terminal, so
// a coder cannot move the cursor, recolour or retitle the screen: control characters (C0 but
// line feed and tab, DEL, C1) and the bidirectional embeddings, overrides and isolates are
// shown as \xNN or \uNNNN, and so is every byte that is not part of well-formed UTF-8.
// Everything else, including non-ASCII letters, stays as it is.
std::string EscapeForTerminal(const std::string& text);
