#pragma once

#include <string>

// The user's language as the system keeps it beyond the locale variables, such as "de-DE":
// the Windows display language. Empty where the locale variables are the system's only word
// (Linux).
std::string PlatformLocaleName();
