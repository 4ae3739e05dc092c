#pragma once

#include <string>

// The system's own words for an error code that a transport recorded (OpenFailure's
// systemError), in UTF-8 and without a closing period: for the cases the program's own texts do
// not name. Empty for 0.

// errno on POSIX; a Win32 or Winsock code on Windows.
std::string SystemErrorText(int error);

// A resolver's (getaddrinfo's) code, as HostNotFound records it.
std::string ResolverErrorText(int error);
