#include "update/Settings.h"

#include "update/ExecutablePath.h"

// Reading and writing are the platform's (posix/, win32/).

Settings::Settings(std::string application) : application_(std::move(application)) {}

std::string ProgramApplicationName() {
    const std::string path = ExecutablePath();
    std::string name = path.substr(path.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot != 0) {
        name.erase(dot);
    }
    return name;
}
