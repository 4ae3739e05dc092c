#include "sim/PortLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

std::string PortLink::PortsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/Orvane/ports";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.config/Orvane/ports";
    }
    return {};
}

PortLink::~PortLink() {
    Remove();
}

bool PortLink::Create(const std::string& name, const std::string& target, std::string& error) {
    const std::string folder = PortsFolder();
    if (folder.empty()) {
        error = "no ports folder: neither XDG_CONFIG_HOME nor HOME is set";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder + ": " + ec.message();
        return false;
    }
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        // A link left by a killed run may go; anything else is the user's and stays.
        if (!S_ISLNK(st.st_mode)) {
            error = path + " exists and is not a symbolic link";
            return false;
        }
        unlink(path.c_str());
    }
    if (symlink(target.c_str(), path.c_str()) != 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    target_ = target;
    return true;
}

void PortLink::Remove() {
    if (path_.empty()) {
        return;
    }
    char current[4096];
    const ssize_t n = readlink(path_.c_str(), current, sizeof current - 1);
    if (n > 0 && std::string(current, static_cast<size_t>(n)) == target_) {
        unlink(path_.c_str());
    }
    path_.clear();
}
