#pragma once

#include <string>

// Shell patterns over file names, as a directory search asks for "*.img": '*' stands for any
// run of characters, '?' for one character (a whole UTF-8 sequence), "[...]" for one of a set
// or range ("[!...]" or "[^...]": none of them; no character classes), '\' takes the next character
// as it is. Letters are compared ignoring ASCII case. A name's leading '.' is matched only by a '.'
// written in the pattern, so "*.img" does not find the hidden file ".img", as in a shell.
bool MatchesFilePattern(const std::string& pattern, const std::string& name);
