#pragma once

#include <string>

// The full path of the running program file, UTF-8 with '/' separators; empty when the system
// does not say.
std::string ExecutablePath();
