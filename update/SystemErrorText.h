#pragma once

#include <string>

// The system's own words for an error, UTF-8, without a line break or a final period:
// strerror for an errno on Linux, FormatMessage for a GetLastError or Winsock code on Windows.
std::string SystemErrorText(int error);

// The same for a failed host name lookup: gai_strerror for a getaddrinfo code on Linux; on
// Windows getaddrinfo's codes are Winsock errors, so it is SystemErrorText there.
std::string HostLookupErrorText(int error);
