#include "transport/SerialPortHandle.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "transport/OpenFailure.h"
#include "transport/Stopwatch.h"
#include "transport/posix/Poll.h"

namespace {

void MakeRaw8N1(termios& settings, speed_t speed) {
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, speed);
    cfsetospeed(&settings, speed);
}

// USB serial adapters hold received bytes up to 16 ms before they pass them on, which doubles
// the time of every acknowledged block at 115200 baud. Best effort: many drivers refuse.
void RequestLowLatency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd, TIOCSSERIAL, &serial);
    }
}

bool Took8N1(const termios& wanted, const termios& actual) {
    return cfgetospeed(&actual) == cfgetospeed(&wanted) &&
           (actual.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) == CS8;
}

// Would block or was interrupted: try again.
bool Transient(int error) {
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

struct SerialPortHandle::Pending {};

SerialPortHandle::SerialPortHandle() = default;

SerialPortHandle::~SerialPortHandle() {
    Close(0);
}

int SerialPortHandle::Open(const std::string& path, const SerialLineSettings& settings,
                           std::vector<PortHolder>& holders) {
    holders.clear();
    if (IsOpen()) {
        return EBUSY;
    }
    if (path.empty() || settings.speed == 0) {
        return path.empty() ? ENOENT : EINVAL;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    termios wanted{};
    termios actual{};
    errno = 0;  // a line that refuses our settings sets none
    // flock also holds against root, for whom TIOCEXCL is no barrier.
    bool ok = flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0 &&
              tcgetattr(fd, &wanted) == 0;
    // Neither lock keeps out a program that opened the port before us without one (a terminal
    // program, ModemManager probing a new port): both would read the coder's answers. The far
    // side of a pseudo-terminal holds it too, and is what we want to talk to.
    if (ok) {
        holders = ForeignHolders(FindPortHolders(path));
        ok = holders.empty();
        if (!ok) {
            errno = EBUSY;
        }
    }
    if (ok) {
        MakeRaw8N1(wanted, static_cast<speed_t>(settings.speed));
        // tcsetattr succeeds when any part was taken; read back to see the line is as asked.
        ok = tcsetattr(fd, TCSANOW, &wanted) == 0 && tcgetattr(fd, &actual) == 0 &&
             Took8N1(wanted, actual);
    }
    if (!ok) {
        const int error = errno != 0 ? errno : EINVAL;
        if (DeviceFailureKind(error) == OpenFailureKind::Busy && holders.empty()) {
            // Names who holds the lock; a far side that locks its own slave is all there is.
            const std::vector<PortHolder> all = FindPortHolders(path);
            holders = ForeignHolders(all);
            if (holders.empty()) {
                holders = all;
            }
        }
        ioctl(fd, TIOCNXCL);
        close(fd);  // also releases the lock
        return error;
    }
    RequestLowLatency(fd);
    handle_ = fd;
    return 0;
}

SerialPortHandle::InputWait SerialPortHandle::WaitForInput(const ManualResetEvent& stop) {
    InputWait wait;
    pollfd fds[2] = {{Descriptor(handle_), POLLIN, 0}, {Descriptor(stop.Handle()), POLLIN, 0}};
    if (PollRetrying(fds, 2, -1) < 0 || fds[1].revents != 0) {
        wait.ended = true;
        return wait;
    }
    wait.input = (fds[0].revents & POLLIN) != 0;
    // A dead descriptor would wake us for ever.
    wait.gone = (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return wait;
}

int32_t SerialPortHandle::Read(uint8_t* buffer, int32_t capacity) {
    for (;;) {
        const ssize_t n = read(Descriptor(handle_), buffer, static_cast<size_t>(capacity));
        if (n >= 0) {
            return static_cast<int32_t>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        return Transient(errno) ? 0 : -1;  // gone (EIO, ENXIO) or anything else
    }
}

int32_t SerialPortHandle::Write(const uint8_t* data, int32_t length, uint32_t) {
    const ssize_t n = write(Descriptor(handle_), data, static_cast<size_t>(length));
    if (n >= 0) {
        return static_cast<int32_t>(n);
    }
    return Transient(errno) ? 0 : -1;
}

void SerialPortHandle::WaitWritable(uint32_t leftMs) {
    pollfd writable{Descriptor(handle_), POLLOUT, 0};
    PollRetrying(&writable, 1, static_cast<int>(leftMs));
}

void SerialPortHandle::Close(uint32_t drainMs) {
    if (!IsOpen()) {
        return;
    }
    const int fd = Descriptor(handle_);
    // Let what is still queued reach the line for at most the budget, then drop it, so close
    // never waits on a line that does not drain.
    const Stopwatch watch;
    int queued = 0;
    while (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && watch.Remaining(drainMs) > 0) {
        pollfd writable{fd, POLLOUT, 0};
        PollRetrying(&writable, 1, 10);  // no event tells us the queue ran empty
    }
    // Only what could not drain is dropped. A pseudo-terminal reports nothing queued while the
    // other side has not read yet, and flushing there would throw away the last frame sent.
    if (queued > 0) {
        tcflush(fd, TCOFLUSH);
    } else {
        // The kernel's queue is empty, but the UART or a USB adapter's FIFO may still hold the
        // tail of the last frame; with nothing queued this waits only for that.
        tcdrain(fd);
    }
    // The line keeps the settings we gave it: changing them now (say, back to the rate before
    // we opened) would garble bytes still on their way, such as the start command.
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    close(fd);
    handle_ = kInvalidHandle;
}
