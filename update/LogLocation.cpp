#include "update/LogLocation.h"

#include <filesystem>
#include <system_error>

#include "update/FirmwareFiles.h"
#include "update/FolderAccess.h"
#include "update/UpdateLog.h"
#include "update/Utf8Path.h"

namespace fs = std::filesystem;

bool HoldsCoderFirmware(const std::string& directory) {
    std::string path;
    return FindFirmwareFile("*.img", path, directory);
}

std::string StateLogPath() {
    const std::string base = UserStateFolder();
    if (base.empty()) {
        return "";
    }
    const std::string folder = base + "Orvane";
    std::error_code error;
    fs::create_directories(PathFromUtf8(folder), error);
    if (error || !fs::is_directory(PathFromUtf8(folder), error) || !FolderIsWritable(folder)) {
        return "";
    }
    return folder + "/" + kLogFileName;
}

std::string ChooseLogPath(const std::string& firmwareDirectory) {
    if (FolderIsWritable(firmwareDirectory)) {
        return firmwareDirectory + kLogFileName;
    }
    return StateLogPath();
}
