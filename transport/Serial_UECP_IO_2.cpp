#include "transport/Serial_UECP_IO_2.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "transport/DescriptorIO.h"
#include "transport/IOHook.h"
#include "transport/PortHolders.h"
#include "transport/SerialPorts.h"
#include "transport/Stopwatch.h"

namespace {

// The one place where an errno of a read or write becomes a result (opening: Refuse). ERR_OK
// means "not a failure, try again": the call would block or was interrupted.
UECP_IO_Error ResultFromErrno(int error) {
    if (error == EINTR || error == EAGAIN || error == EWOULDBLOCK) {
        return ERR_OK;
    }
    return ERR_SEND_TIMEOUT;  // gone (EIO, ENXIO) or anything else
}

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

}  // namespace

Serial_UECP_IO_2::Serial_UECP_IO_2(FrameReader* reader) : UECP_IO(reader) {}

Serial_UECP_IO_2::~Serial_UECP_IO_2() {
    Stop();
    ClosePort();
    isOpen = false;
}

UECP_IO_Error Serial_UECP_IO_2::Open(const SIO_ConnectionParams& openParams) {
    const UECP_IO_Error accepted = AcceptParams(openParams);
    if (accepted != ERR_OK) {
        return accepted;
    }
    Stop();  // releases a thread whose body ended when its device went away
    isOpen = false;
    ClearSendBuffer();
    portNumber = openParams.port;
    dcb = openParams.dcb;
    namedByNumber_ = openParams.devicePath.empty();
    devicePath = namedByNumber_ ? ResolveComPort(openParams.port) : openParams.devicePath;
    UECP_IO_Error result = OpenPort();
    if (result == ERR_OK) {
        readFailed_ = false;
        isOpen = true;
        if (!Start()) {
            isOpen = false;
            ClosePort();
            result = ERR_CONNECT;
        }
    }
    if (openParams.openAsync) {
        NotifyOpenResult(result);
    }
    return result;
}

UECP_IO_Error Serial_UECP_IO_2::Refuse(int error) {
    openErrno = error;
    openFailure = OpenFailure{};
    openFailure.kind = DeviceFailureKind(error);
    openFailure.systemError = error;
    openFailure.target = devicePath;
    openFailure.comPort = namedByNumber_ ? portNumber : 0;
    if (openFailure.kind == OpenFailureKind::Permission) {
        openFailure.deviceGroup = DeviceGroup(devicePath);
    }
    return ERR_CONNECT;
}

UECP_IO_Error Serial_UECP_IO_2::OpenPort() {
    if (portHandle >= 0) {
        return ERR_DEVICE_ALREADY_OPEN;
    }
    if (devicePath.empty() || dcb.speed == 0) {
        return Refuse(devicePath.empty() ? ENOENT : EINVAL);
    }
    const int fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Refuse(errno);
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
    std::vector<PortHolder> holders;
    if (ok) {
        holders = ForeignHolders(FindPortHolders(devicePath));
        ok = holders.empty();
        if (!ok) {
            errno = EBUSY;
        }
    }
    if (ok) {
        MakeRaw8N1(wanted, static_cast<speed_t>(dcb.speed));
        // tcsetattr succeeds when any part was taken; read back to see the line is as asked.
        ok = tcsetattr(fd, TCSANOW, &wanted) == 0 && tcgetattr(fd, &actual) == 0 &&
             Took8N1(wanted, actual);
    }
    if (!ok) {
        const UECP_IO_Error result = Refuse(errno != 0 ? errno : EINVAL);
        if (openFailure.kind == OpenFailureKind::Busy && holders.empty()) {
            // Names who holds the lock; a far side that locks its own slave is all there is.
            const std::vector<PortHolder> all = FindPortHolders(devicePath);
            holders = ForeignHolders(all);
            if (holders.empty()) {
                holders = all;
            }
        }
        if (!holders.empty()) {
            openFailure.holderPid = holders.front().pid;
            openFailure.holderName = holders.front().name;
        }
        ioctl(fd, TIOCNXCL);
        close(fd);  // also releases the lock
        return result;
    }
    RequestLowLatency(fd);
    portHandle = fd;
    openErrno = 0;
    openFailure = OpenFailure{};
    return ERR_OK;
}

void Serial_UECP_IO_2::ClosePort() {
    if (portHandle < 0) {
        return;
    }
    // Let what is still queued reach the line for at most sendTimeout, then drop it, so close
    // never waits on a line that does not drain.
    const Stopwatch watch;
    const uint32_t budget = BudgetMs(params.get(), &UECP_IO_ConnectionParams::sendTimeout);
    int queued = 0;
    while (ioctl(portHandle, TIOCOUTQ, &queued) == 0 && queued > 0 && watch.Remaining(budget) > 0) {
        pollfd writable{portHandle, POLLOUT, 0};
        PollRetrying(&writable, 1, 10);  // no event tells us the queue ran empty
    }
    // Only what could not drain is dropped. A pseudo-terminal reports nothing queued while the
    // other side has not read yet, and flushing there would throw away the last frame sent.
    if (queued > 0) {
        tcflush(portHandle, TCOFLUSH);
    } else {
        // The kernel's queue is empty, but the UART or a USB adapter's FIFO may still hold the
        // tail of the last frame; with nothing queued this waits only for that.
        tcdrain(portHandle);
    }
    // The line keeps the settings we gave it: changing them now (say, back to the rate before
    // we opened) would garble bytes still on their way, such as the start command.
    ioctl(portHandle, TIOCNXCL);
    flock(portHandle, LOCK_UN);
    close(portHandle);
    portHandle = -1;
}

void Serial_UECP_IO_2::Close(bool) {
    Stop();
    ClosePort();
    isOpen = false;
}

void Serial_UECP_IO_2::Run() {
    while (!stopRequested) {
        pollfd fds[2] = {{portHandle, POLLIN, 0}, {stopEvent.Fd(), POLLIN, 0}};
        if (PollRetrying(fds, 2, -1) < 0 || fds[1].revents != 0) {
            break;
        }
        const short events = fds[0].revents;
        if ((events & POLLIN) != 0) {
            ReceivePump();
        }
        if (readFailed_ || (events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            if (!readFailed_) {
                OnReadError();
            }
            break;  // the device is gone; a dead descriptor would wake us for ever
        }
    }
    stopEvent.Set();
}

int32_t Serial_UECP_IO_2::ReadRaw(uint8_t* buffer, int32_t capacity) {
    if (capacity <= 0) {
        return 0;
    }
    for (;;) {
        const ssize_t n = read(portHandle, buffer, static_cast<size_t>(capacity));
        if (n >= 0) {
            return static_cast<int32_t>(n);
        }
        if (errno == EINTR) {
            continue;
        }
        if (ResultFromErrno(errno) == ERR_OK) {
            return 0;
        }
        readFailed_ = true;
        return -1;
    }
}

int32_t Serial_UECP_IO_2::WriteRaw(const uint8_t*, int32_t) {
    return 0;  // sends go straight to the device, never through the queue
}

UECP_IO_Error Serial_UECP_IO_2::Send(const uint8_t* data, int32_t length) {
    if (length == 0) {
        return ERR_OK;
    }
    if (data == nullptr || length < 0) {
        return ERR_INVALID_PARAMETER;
    }
    if (portHandle < 0) {
        return ERR_DEVICE_NOT_OPEN;
    }
    const int32_t done = WriteWithinBudget(
        portHandle, data, length, BudgetMs(params.get(), &UECP_IO_ConnectionParams::sendTimeout),
        [this](const uint8_t* bytes, size_t count) { return write(portHandle, bytes, count); },
        [](int error) { return ResultFromErrno(error) != ERR_OK; });
    if (done == length) {
        return ERR_OK;
    }
    OnWriteError();
    return ERR_SEND_TIMEOUT;
}
