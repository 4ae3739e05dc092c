#include "sim/PtyPort.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

struct SpeedEntry {
    speed_t speed;
    uint32_t baud;
};

constexpr SpeedEntry kSpeeds[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

}  // namespace

uint32_t SpeedToBaud(unsigned speed) {
    for (const auto& e : kSpeeds) {
        if (e.speed == speed) {
            return e.baud;
        }
    }
    return 0;
}

unsigned BaudToSpeed(uint32_t baud) {
    for (const auto& e : kSpeeds) {
        if (e.baud == baud) {
            return e.speed;
        }
    }
    return B0;
}

PtyPort::~PtyPort() {
    Close();
}

bool PtyPort::Open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    slavePath_ = name;
    // Raw from the start: a cooked slave would echo our answers back to us as requests.
    termios settings{};
    if (tcgetattr(master_, &settings) == 0) {
        cfmakeraw(&settings);
        cfsetispeed(&settings, B9600);
        cfsetospeed(&settings, B9600);
        tcsetattr(master_, TCSANOW, &settings);
    }
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ < 0 || inotify_add_watch(watch_, name, IN_OPEN) < 0) {
        error = std::string("cannot watch ") + name + ": " + std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

void PtyPort::Close() {
    if (watch_ >= 0) {
        close(watch_);
        watch_ = -1;
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

uint32_t PtyPort::ClientBaud() const {
    termios settings{};
    if (master_ < 0 || tcgetattr(master_, &settings) != 0) {
        return 0;
    }
    return SpeedToBaud(cfgetospeed(&settings));
}

bool PtyPort::TakeOpenEvents() {
    alignas(inotify_event) char buffer[4096];
    bool opened = false;
    for (;;) {
        const ssize_t n = read(watch_, buffer, sizeof buffer);
        if (n <= 0) {
            return opened;
        }
        opened = true;  // the only event watched is IN_OPEN
    }
}
