#include "update/LogFileStream.h"

std::FILE* OpenLogFileStream(const std::string& path) {
    // Binary: the CR LF line ends are written by the log, the same on every platform.
    return std::fopen(path.c_str(), "wbe");
}
