#include "transport/PortHolders.h"

#include <dirent.h>
#include <sys/stat.h>
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

bool HoldsDevice(const std::string& processDir, dev_t device) {
    const std::string fdDir = processDir + "/fd";
    DirHandle fds(opendir(fdDir.c_str()));
    if (!fds) {
        return false;  // gone, or not ours to look into
    }
    while (const dirent* entry = readdir(fds.get())) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        struct stat target {};
        const std::string link = fdDir + "/" + entry->d_name;
        if (stat(link.c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
            target.st_rdev == device) {
            return true;
        }
    }
    return false;
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
        if (HoldsDevice(processDir, device.st_rdev)) {
            holders.push_back({pid, ProcessName(processDir)});
        }
    }
    return holders;
}
