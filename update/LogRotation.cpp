#include "update/LogRotation.h"

#include <filesystem>
#include <system_error>

#include "update/Utf8Path.h"

namespace fs = std::filesystem;

std::string RotatedLogPath(const std::string& path, int generation) {
    const fs::path file = PathFromUtf8(path);
    fs::path name = file.stem();
    name += "." + std::to_string(generation);
    name += file.extension();
    return Utf8FromPath(file.parent_path() / name);
}

LogRotation RotateLogs(const std::string& path) {
    LogRotation rotation;
    std::error_code error;
    const fs::path log = PathFromUtf8(path);
    const fs::file_status status = fs::status(log, error);
    if (error || !fs::is_regular_file(status) || fs::file_size(log, error) == 0 || error) {
        return rotation;
    }
    const auto move = [&](const std::string& from, const std::string& to) {
        std::error_code moved;
        fs::rename(PathFromUtf8(from), PathFromUtf8(to), moved);
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
        if (!fs::exists(fs::symlink_status(PathFromUtf8(older), missing)) || missing) {
            continue;
        }
        if (!move(older, RotatedLogPath(path, generation + 1))) {
            return rotation;
        }
    }
    move(path, RotatedLogPath(path, 1));
    return rotation;
}
