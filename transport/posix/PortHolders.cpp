#include "transport/PortHolders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool IsPid(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
    }
    return true;
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) and the multiplexer their masters are opened from.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;
const dev_t kPtyMultiplexer = makedev(5, 2);

// N of /dev/pts/N, or -1 for any other device.
long PtyIndex(dev_t device) {
    const unsigned deviceMajor = major(device);
    if (deviceMajor < kFirstPtySlaveMajor || deviceMajor > kLastPtySlaveMajor) {
        return -1;
    }
    return static_cast<long>((deviceMajor - kFirstPtySlaveMajor) * 256 + minor(device));
}

// The pty a master descriptor belongs to, as its fdinfo names it ("tty-index:"); -1 when the
// kernel does not say.
long MasterIndex(const std::string& processDir, const char* fd) {
    std::ifstream info(processDir + "/fdinfo/" + fd);
    const std::string key = "tty-index:";
    for (std::string line; std::getline(info, line);) {
        if (line.compare(0, key.size(), key) == 0) {
            char* end = nullptr;
            const long index = std::strtol(line.c_str() + key.size(), &end, 10);
            return end != line.c_str() + key.size() ? index : -1;
        }
    }
    return -1;
}

struct Holding {
    bool device = false;  // has the device itself open
    bool master = false;  // and, for a pty slave, its master too
};

Holding HoldsDevice(const std::string& processDir, dev_t device, long ptyIndex) {
    Holding holding;
    const std::string fdDir = processDir + "/fd";
    DirHandle fds(opendir(fdDir.c_str()));
    if (!fds) {
        return holding;  // gone, or not ours to look into
    }
    while (const dirent* entry = readdir(fds.get())) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        struct stat target {};
        const std::string link = fdDir + "/" + entry->d_name;
        if (stat(link.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) {
            continue;
        }
        if (target.st_rdev == device) {
            holding.device = true;
        } else if (ptyIndex >= 0 && target.st_rdev == kPtyMultiplexer && !holding.master) {
            holding.master = MasterIndex(processDir, entry->d_name) == ptyIndex;
        }
    }
    return holding;
}

std::string ProcessName(const std::string& processDir) {
    std::ifstream comm(processDir + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace

std::vector<PortHolder> FindPortHolders(const std::string& devicePath) {
    std::vector<PortHolder> holders;
    struct stat device {};
    if (stat(devicePath.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) {
        return holders;
    }
    DirHandle proc(opendir("/proc"));
    if (!proc) {
        return holders;
    }
    const long ptyIndex = PtyIndex(device.st_rdev);
    const int self = static_cast<int>(getpid());
    while (const dirent* entry = readdir(proc.get())) {
        if (!IsPid(entry->d_name)) {
            continue;
        }
        const int pid = std::atoi(entry->d_name);
        if (pid == self) {
            continue;
        }
        const std::string processDir = std::string("/proc/") + entry->d_name;
        const Holding holding = HoldsDevice(processDir, device.st_rdev, ptyIndex);
        if (holding.device) {
            holders.push_back({pid, ProcessName(processDir), holding.master});
        }
    }
    return holders;
}
