#include "transport/SerialPorts.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

std::string RealPath(const std::string& path) {
    char target[PATH_MAX];
    return realpath(path.c_str(), target) != nullptr ? target : std::string();
}

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// The first line of a sysfs attribute, empty when it cannot be read.
std::string ReadAttribute(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

enum class PortKind { NotAPort, Usable, Refused };

// Opens the port the way the transport does, without keeping it. A refused open counts as a
// port only for a character device, and a legacy ttyS only when sysfs knows a UART for it.
PortKind ProbePort(const std::string& path, int& openError) {
    openError = 0;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openError = errno;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
            return PortKind::NotAPort;
        }
        const std::string name = BaseName(RealPath(path));
        if (name.rfind("ttyS", 0) == 0 &&
            ReadAttribute("/sys/class/tty/" + name + "/type") == "0") {
            return PortKind::NotAPort;
        }
        return PortKind::Refused;
    }
    termios settings{};
    const bool usable = tcgetattr(fd, &settings) == 0 && !IsLegacyPortWithoutUart(fd, path);
    close(fd);
    return usable ? PortKind::Usable : PortKind::NotAPort;
}

}  // namespace

std::string PortsFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // XDG_CONFIG_HOME counts only when absolute.
    std::string base = config != nullptr && config[0] == '/' ? config : HomeFolder() + "/.config";
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();  // "/home/me/.config/" names the same folder: no "//" in the paths
    }
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

std::vector<SerialPortDetails> WalkSerialPorts(bool describe) {
    std::vector<SerialPortDetails> ports;
    for (int number = kFirstComPort; number <= kLastComPort; ++number) {
        SerialPortDetails port;
        port.comNumber = number;
        port.device = ResolveComPort(number);
        if (port.device.empty()) {
            continue;
        }
        const PortKind kind = ProbePort(port.device, port.openError);
        if (kind == PortKind::NotAPort) {
            continue;
        }
        if (describe) {
            ReadSerialPortDetails(port.device, port);
            for (PortHolder& holder : FindPortHolders(port.device)) {
                (holder.farSide ? port.farSide : port.heldBy).push_back(std::move(holder));
            }
            if (port.openError != 0) {
                port.deviceGroup = DeviceGroup(port.device);
            }
        }
        port.opens = kind == PortKind::Usable;
        port.usable = port.opens && port.heldBy.empty();
        ports.push_back(std::move(port));
    }
    return ports;
}

OpenFailure PortOpenFailure(const SerialPortDetails& port) {
    OpenFailure failure;
    if (port.usable) {
        return failure;
    }
    failure.kind = port.openError != 0 ? DeviceFailureKind(port.openError) : OpenFailureKind::Busy;
    failure.systemError = port.openError != 0 ? port.openError : EBUSY;
    failure.target = port.device;
    failure.comPort = port.comNumber;
    if (failure.kind == OpenFailureKind::Permission) {
        failure.deviceGroup = port.deviceGroup;
    }
    // A port kept to itself with TIOCEXCL refuses the open with EBUSY: its holder is named too.
    const std::vector<PortHolder>& holders = port.heldBy.empty() ? port.farSide : port.heldBy;
    if (failure.kind == OpenFailureKind::Busy && !holders.empty()) {
        failure.holderPid = holders.front().pid;
        failure.holderName = holders.front().name;
    }
    return failure;
}

std::string DeviceGroup(const std::string& devicePath) {
    struct stat node {};
    if (stat(devicePath.c_str(), &node) != 0) {
        return {};
    }
    const group* owner = getgrgid(node.st_gid);
    return owner != nullptr ? owner->gr_name : "";
}

void ReadSerialPortDetails(const std::string& devicePath, SerialPortDetails& details,
                           const std::string& sysRoot, const std::string& byIdFolder) {
    details.realDevice = RealPath(devicePath);
    if (details.realDevice.empty()) {
        return;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(byIdFolder, error)) {
        if (RealPath(entry.path().string()) == details.realDevice) {
            details.byId = entry.path().string();
            break;
        }
    }
    const std::string name = BaseName(details.realDevice);
    const std::string device = RealPath(sysRoot + "/class/tty/" + name + "/device");
    if (device.empty()) {
        return;
    }
    details.latencyTimerMs = LatencyTimerMs(devicePath, sysRoot);
    // The USB device is the nearest parent with vendor and product ids (the tty hangs below
    // an interface, and for usb-serial below the port of that interface).
    for (std::filesystem::path at = device; at.has_relative_path() && at != at.root_path();
         at = at.parent_path()) {
        const std::string folder = at.string() + "/";
        const std::string vendor = ReadAttribute(folder + "idVendor");
        if (vendor.empty()) {
            continue;
        }
        details.usbVendorId = vendor;
        details.usbProductId = ReadAttribute(folder + "idProduct");
        details.manufacturer = ReadAttribute(folder + "manufacturer");
        details.product = ReadAttribute(folder + "product");
        details.serialNumber = ReadAttribute(folder + "serial");
        return;
    }
}

int LatencyTimerMs(const std::string& devicePath, const std::string& sysRoot) {
    const std::string real = RealPath(devicePath);
    if (real.empty()) {
        return -1;
    }
    const std::string text =
        ReadAttribute(sysRoot + "/class/tty/" + BaseName(real) + "/device/latency_timer");
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::stoi(text);
}
