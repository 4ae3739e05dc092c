#include "update/LogLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "update/FirmwareFiles.h"
#include "update/UpdateLog.h"

namespace {

bool MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    return false;
}

// Creates every missing folder of `path` (no trailing '/').
bool MakeFolders(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        if (!MakeFolder(path.substr(0, at))) {
            return false;
        }
    }
    return MakeFolder(path);
}

}  // namespace

bool HoldsCoderFirmware(const std::string& directory) {
    std::string path;
    return FindFirmwareFile("*.img", path, directory);
}

std::string StateLogPath() {
    std::string base;
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') {
            return "";
        }
        base = std::string(home) + "/.local/state";
    }
    const std::string folder = base + "/Orvane";
    if (!MakeFolders(folder) || access(folder.c_str(), W_OK) != 0) {
        return "";
    }
    return folder + "/" + kLogFileName;
}

std::string ChooseLogPath(const std::string& firmwareDirectory) {
    const std::string folder = firmwareDirectory.empty() ? "." : firmwareDirectory;
    if (access(folder.c_str(), W_OK) == 0) {
        return firmwareDirectory + kLogFileName;
    }
    return StateLogPath();
}
