#include "update/OsVersion.h"

#include <sys/utsname.h>

#include <cstdio>

// The kernel release ("6.1.0-18-amd64" -> 6, 1) is the one version every Linux system reports
// the same way.
bool OsVersion(uint32_t& major, uint32_t& minor) {
    utsname name{};
    if (::uname(&name) != 0) {
        return false;
    }
    unsigned int parsedMajor = 0;
    unsigned int parsedMinor = 0;
    if (std::sscanf(name.release, "%u.%u", &parsedMajor, &parsedMinor) != 2) {
        return false;
    }
    major = parsedMajor;
    minor = parsedMinor;
    return true;
}
