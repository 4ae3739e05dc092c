#include "update/LogRotation.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string RotatedLogPath(const std::string& path, int generation) {
    const fs::path file(path);
    fs::path name = file.stem();
    name += "." + std::to_string(generation);
    name += file.extension();
    return (file.parent_path() / name).string();
}

LogRotation RotateLogs(const std::string& path) {
    LogRotation rotation;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::is_regular_file(status) || fs::file_size(path, error) == 0 || error) {
        return rotation;
    }
    const auto move = [&](const std::string& from, const std::string& to) {
        std::error_code moved;
        fs::rename(from, to, moved);
        if (moved) {
            rotation.stuck = from;
            rotation.reason = moved.message();
            return false;
        }
        return true;
    };
    // The oldest first, so that every rename lands on a name that is free or is the one to
    // drop out.
    for (int generation = kKeptLogs - 1; generation >= 1; --generation) {
        const std::string older = RotatedLogPath(path, generation);
        std::error_code missing;
        if (!fs::exists(fs::symlink_status(older, missing)) || missing) {
            continue;
        }
        if (!move(older, RotatedLogPath(path, generation + 1))) {
            return rotation;
        }
    }
    move(path, RotatedLogPath(path, 1));
    return rotation;
}
