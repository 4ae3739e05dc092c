#include "update/Settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>

#include "transport/SystemErrorText.h"
#include "update/IniSettingsText.h"

namespace {

// Where QSettings puts a user's files: $XDG_CONFIG_HOME when absolute, else ~/.config.
std::string ConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return config;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        return "";
    }
    return std::string(home) + "/.config";
}

std::string OrganizationFolder() {
    const std::string config = ConfigFolder();
    return config.empty() ? config : config + "/" + kSettingsOrganization;
}

std::string SettingsFile(const std::string& application) {
    const std::string folder = OrganizationFolder();
    return folder.empty() ? folder : folder + "/" + application + ".conf";
}

// False with errno set when the file cannot be read; a missing file is ENOENT.
bool ReadWhole(const std::string& path, std::string& text) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    // A byte order mark, should an editor have put one there.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    return true;
}

// The folders up to the file, as QSettings makes them.
bool MakeFolders(const std::string& path, std::string& error) {
    std::error_code made;
    std::filesystem::create_directories(path, made);
    if (made) {
        error = path + ": " + made.message();
        return false;
    }
    return true;
}

// Replaces the file as a whole, so that a reader (the wizard) sees the old or the new file,
// never half of one. Keeps the mode of the file it replaces.
bool ReplaceFile(const std::string& path, const std::string& text, std::string& error) {
    static std::atomic<unsigned> writes{0};
    const std::string temporary =
        path + ".tarvelin-" + std::to_string(::getpid()) + "-" + std::to_string(++writes);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = temporary + ": " + SystemErrorText(errno);
        return false;
    }
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        ::fchmod(fd, existing.st_mode & 07777);
    }
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = temporary + ": " + SystemErrorText(errno);
            ::close(fd);
            ::unlink(temporary.c_str());
            return false;
        }
        written += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        error = temporary + ": " + SystemErrorText(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + SystemErrorText(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool Store(const std::string& application, const std::string& name, const std::string& value,
           std::string& error) {
    const std::string path = SettingsFile(application);
    if (path.empty()) {
        error = "neither XDG_CONFIG_HOME nor HOME names a folder";
        return false;
    }
    if (!MakeFolders(OrganizationFolder(), error)) {
        return false;
    }
    std::string text;
    if (!ReadWhole(path, text) && errno != ENOENT) {
        error = path + ": " + SystemErrorText(errno);
        return false;
    }
    return ReplaceFile(path, WithIniTextValue(text, kSettingsGroup, name, value), error);
}

std::optional<std::string> Load(const std::string& application, const std::string& name) {
    std::string text;
    const std::string path = SettingsFile(application);
    if (path.empty() || !ReadWhole(path, text)) {
        return std::nullopt;
    }
    return IniTextValue(text, kSettingsGroup, name);
}

}  // namespace

std::string Settings::Location() const {
    return SettingsFile(application_);
}

int32_t Settings::ReadInt(const std::string& name, int32_t fallback) const {
    const std::optional<std::string> text = Load(application_, name);
    if (!text || text->empty()) {
        return fallback;
    }
    // A DWORD: what was stored as -1 and what was stored as 4294967295 read the same.
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text->c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<uint32_t>::max()) {
        return fallback;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string Settings::ReadString(const std::string& name, const std::string& fallback) const {
    return Load(application_, name).value_or(fallback);
}

bool Settings::WriteInt(const std::string& name, int32_t value, std::string& error) {
    return Store(application_, name, std::to_string(value), error);
}

bool Settings::WriteString(const std::string& name, const std::string& value, std::string& error) {
    return Store(application_, name, value, error);
}
