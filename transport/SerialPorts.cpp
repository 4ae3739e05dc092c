#include "transport/SerialPorts.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* user = getpwuid(getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
}

std::string BuiltInDevice(int number) {
    if (number >= 1 && number <= 4) {
        return "/dev/ttyS" + std::to_string(number - 1);
    }
    if (number >= 5 && number <= 20) {
        return "/dev/ttyUSB" + std::to_string(number - 5);
    }
    if (number >= 21 && number <= 31) {
        return "/dev/ttyACM" + std::to_string(number - 21);
    }
    return {};
}

// A legacy ttyS node exists for every possible UART; only one with hardware behind it counts.
bool IsLegacyPortWithoutUart(int fd, const std::string& path) {
    char target[PATH_MAX];
    const std::string real = realpath(path.c_str(), target) != nullptr ? target : path;
    const std::string name = real.substr(real.find_last_of('/') + 1);
    if (name.rfind("ttyS", 0) != 0) {
        return false;
    }
    serial_struct info{};
    return ioctl(fd, TIOCGSERIAL, &info) != 0 || info.type == PORT_UNKNOWN;
}

bool IsUsableSerialPort(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    termios settings{};
    const bool usable = tcgetattr(fd, &settings) == 0 && !IsLegacyPortWithoutUart(fd, path);
    close(fd);
    return usable;
}

}  // namespace

std::string PortsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // XDG_CONFIG_HOME counts only when absolute.
    std::string base = config != nullptr && config[0] == '/' ? config : HomeFolder() + "/.config";
    return base + "/Orvane/ports/";
}

std::string ResolveComPort(int number) {
    if (number >= 1) {
        const std::string link = PortsFolder() + "COM" + std::to_string(number);
        struct stat entry {};
        if (lstat(link.c_str(), &entry) == 0) {
            return link;
        }
    }
    return BuiltInDevice(number);
}

std::vector<int> ListSerialPorts() {
    std::vector<int> ports;
    for (int number = kFirstComPort; number <= kLastComPort; ++number) {
        const std::string device = ResolveComPort(number);
        if (!device.empty() && IsUsableSerialPort(device)) {
            ports.push_back(number);
        }
    }
    return ports;
}
