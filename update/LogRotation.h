#pragma once

#include <string>

// The previous logs beside a log: TarvelinLog.txt keeps the runs before it as
// TarvelinLog.1.txt (the newest) to TarvelinLog.4.txt, so a rerun after a failure does not
// overwrite the only record of it.
constexpr int kKeptLogs = 4;

// "dir/TarvelinLog.txt", 2 -> "dir/TarvelinLog.2.txt"; a name without an extension gets ".2".
std::string RotatedLogPath(const std::string& path, int generation);

struct LogRotation {
    // The file that could not be moved and the system's reason; both empty when nothing
    // failed.
    std::string stuck;
    std::string reason;
    bool Failed() const { return !reason.empty(); }
};

// Moves `path` to generation 1 and each older one a generation on; generation kKeptLogs drops
// out. A missing or empty file, or one that is no regular file (a pipe, a terminal), is left
// alone. On a failure nothing more is moved, so no older log is overwritten in its place.
LogRotation RotateLogs(const std::string& path);
