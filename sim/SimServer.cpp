#include "sim/SimServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/DumpFile.h"

namespace {

constexpr uint64_t kPtyLine = 0;
// A client that does not read its answers must not make us grow without bound.
constexpr size_t kMaxPending = 1 << 20;

}  // namespace

struct SimServer::Line : FrameReader {
    Line(uint64_t lineId, int lineFd, LinkKind lineKind)
        : id(lineId), fd(lineFd), kind(lineKind), assembler(this) {}
    ~Line() override {
        if (kind == LinkKind::Tcp && fd >= 0) {
            close(fd);
        }
    }
    void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer*) override {
        frames.emplace_back(data, data + length);
    }

    uint64_t id;
    int fd;
    LinkKind kind;
    AutoFrameBuffer assembler;
    std::vector<Bytes> frames;
    Bytes pending;
};

SimServer::SimServer(const SimOptions& options) : options_(options), device_(options) {}

SimServer::~SimServer() {
    Stop();
}

SimTime SimServer::Now() {
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now().time_since_epoch());
}

bool SimServer::Start(std::string& error) {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    if (options_.tcpPort && !OpenListener(error)) {
        Stop();
        return false;
    }
    if (options_.serial) {
        if (!pty_.Open(error)) {
            Stop();
            return false;
        }
        lines_.push_back(std::make_unique<Line>(kPtyLine, pty_.MasterFd(), LinkKind::Serial));
        if (!options_.link.empty() && !link_.Create(options_.link, pty_.SlavePath(), error)) {
            Stop();
            return false;
        }
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void SimServer::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    lines_.clear();
    events_.clear();
    if (listenFd_ >= 0) {
        close(listenFd_);
        listenFd_ = -1;
    }
    link_.Remove();
    pty_.Close();
    if (wakeFd_ >= 0) {
        close(wakeFd_);
        wakeFd_ = -1;
    }
}

bool SimServer::OpenListener(std::string& error) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int yes = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(*options_.tcpPort);
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 8) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(*options_.tcpPort) + ": " +
                std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    return true;
}

std::string SimServer::DumpText() const {
    std::lock_guard<std::mutex> lock(deviceMutex_);
    return device_.Coder().Flash().DumpText();
}

bool SimServer::WriteDumps(std::string& error) const {
    std::lock_guard<std::mutex> lock(deviceMutex_);
    const FlashMemory& flash = device_.Coder().Flash();
    if (!options_.dumpFile.empty()) {
        const std::string text = flash.DumpText();
        if (!WriteDumpFile(options_.dumpFile, text.data(), text.size(), error)) {
            return false;
        }
    }
    if (!options_.dumpRawDir.empty() && !flash.DumpRaw(options_.dumpRawDir, error)) {
        return false;
    }
    return true;
}

SimServer::Line* SimServer::Find(uint64_t id) {
    for (auto& line : lines_) {
        if (line->id == id) {
            return line.get();
        }
    }
    return nullptr;
}

void SimServer::CloseLine(uint64_t id) {
    std::erase_if(lines_, [id](const auto& line) { return line->id == id && id != kPtyLine; });
}

void SimServer::Accept() {
    for (;;) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        // An acknowledgement and its answer leave as two writes; without this the answer waits
        // for the client's delayed ACK of the first (some 40 ms on Linux).
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        lines_.push_back(std::make_unique<Line>(nextLineId_++, fd, LinkKind::Tcp));
        if (options_.refuseFrom && ++accepted_ + 1 >= *options_.refuseFrom) {
            // Closed, not just left unaccepted: the kernel would complete the handshake.
            close(listenFd_);
            listenFd_ = -1;
            return;
        }
    }
}

void SimServer::Feed(Line& line, const Bytes& bytes, SimTime now) {
    line.assembler.Put(bytes.data(), static_cast<int32_t>(bytes.size()));
    std::vector<Bytes> frames;
    frames.swap(line.frames);
    for (const Bytes& frame : frames) {
        LinkInfo link{line.kind, 0};
        if (line.kind == LinkKind::Serial) {
            link.baud = pty_.ClientBaud();  // the client may have changed it since the last frame
        }
        std::vector<Emission> emissions;
        bool refuse = false;
        {
            std::lock_guard<std::mutex> lock(deviceMutex_);
            emissions =
                device_.OnFrame(frame.data(), static_cast<int32_t>(frame.size()), link, now);
            refuse = device_.RefusesConnections();
        }
        if (refuse && listenFd_ >= 0) {
            close(listenFd_);
            listenFd_ = -1;
        }
        Schedule(line, std::move(emissions));
    }
}

void SimServer::Schedule(Line& line, std::vector<Emission> emissions) {
    for (Emission& e : emissions) {
        SimTime due = e.due;
        if (e.close) {
            events_.emplace(due, Event{Event::Kind::Close, line.id, {}});
            continue;
        }
        if (line.kind == LinkKind::Serial && options_.pace) {
            // The last byte arrives ten bit times per byte after the line became free.
            const uint32_t baud = pty_.ClientBaud();
            if (baud > 0) {
                due = std::max(due, ptyOutFree_) +
                      SimTime(static_cast<int64_t>(e.bytes.size()) * 10'000'000 / baud);
                ptyOutFree_ = due;
            }
        }
        events_.emplace(due, Event{Event::Kind::Output, line.id, std::move(e.bytes)});
    }
}

void SimServer::Flush(Line& line) {
    while (!line.pending.empty()) {
        const ssize_t n =
            line.kind == LinkKind::Tcp
                ? send(line.fd, line.pending.data(), line.pending.size(), MSG_NOSIGNAL)
                : write(line.fd, line.pending.data(), line.pending.size());
        if (n > 0) {
            line.pending.erase(line.pending.begin(), line.pending.begin() + n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (line.pending.size() > kMaxPending) {
                line.pending.clear();
            }
            return;
        }
        line.pending.clear();  // the peer is gone; reading will notice
        return;
    }
}

void SimServer::ReadLine(Line& line, SimTime now) {
    uint8_t buffer[4096];
    const ssize_t n = read(line.fd, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        if (line.kind == LinkKind::Tcp) {
            CloseLine(line.id);
        } else {
            // EIO: the client closed the port; wait for the next open.
            ptyHungUp_ = true;
            line.assembler.Reset();
            std::lock_guard<std::mutex> lock(deviceMutex_);
            device_.Coder().SerialLineClosed();
        }
        return;
    }
    Bytes bytes(buffer, buffer + n);
    if (line.kind != LinkKind::Serial) {
        Feed(line, bytes, now);
        return;
    }
    SimTime due = now;
    if (options_.pace) {
        const uint32_t baud = pty_.ClientBaud();
        if (baud > 0) {
            ptyInFree_ = std::max(now, ptyInFree_) + SimTime(n * 10'000'000 / baud);
            due = ptyInFree_;
        }
    }
    due += SimTime(int64_t{options_.judgeMs} * 1000);
    if (due == now) {
        Feed(line, bytes, now);
        return;
    }
    events_.emplace(due, Event{Event::Kind::Input, line.id, std::move(bytes)});
}

void SimServer::Run() {
    while (!stop_) {
        std::vector<pollfd> fds;
        std::vector<uint64_t> fdLine;  // line id per entry, or a marker for the others
        constexpr uint64_t kWake = ~0ull, kListen = ~1ull, kWatch = ~2ull;
        fds.push_back({wakeFd_, POLLIN, 0});
        fdLine.push_back(kWake);
        if (listenFd_ >= 0) {
            fds.push_back({listenFd_, POLLIN, 0});
            fdLine.push_back(kListen);
        }
        if (pty_.WatchFd() >= 0) {
            fds.push_back({pty_.WatchFd(), POLLIN, 0});
            fdLine.push_back(kWatch);
        }
        for (const auto& line : lines_) {
            if (line->kind == LinkKind::Serial && ptyHungUp_) {
                continue;  // POLLHUP would fire without pause until the next open
            }
            short events = POLLIN;
            if (!line->pending.empty()) {
                events |= POLLOUT;
            }
            fds.push_back({line->fd, events, 0});
            fdLine.push_back(line->id);
        }

        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (!events_.empty()) {
            const int64_t wait = std::max<int64_t>(0, (events_.begin()->first - Now()).count());
            timeout.tv_sec = wait / 1'000'000;
            timeout.tv_nsec = (wait % 1'000'000) * 1000;
            timeoutPtr = &timeout;
        }
        if (ppoll(fds.data(), fds.size(), timeoutPtr, nullptr) < 0 && errno != EINTR) {
            return;
        }
        const SimTime now = Now();

        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (fdLine[i] == kWake) {
                uint64_t value = 0;
                [[maybe_unused]] ssize_t n = read(wakeFd_, &value, sizeof value);
            } else if (fdLine[i] == kListen) {
                Accept();
            } else if (fdLine[i] == kWatch) {
                if (pty_.TakeOpenEvents()) {
                    ptyHungUp_ = false;
                }
            } else if (Line* line = Find(fdLine[i])) {
                if (fds[i].revents & POLLOUT) {
                    Flush(*line);
                }
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                    ReadLine(*line, now);  // may close the line
                }
            }
        }

        while (!events_.empty() && events_.begin()->first <= Now()) {
            auto node = events_.extract(events_.begin());
            Event& event = node.mapped();
            Line* line = Find(event.line);
            if (line == nullptr) {
                continue;
            }
            switch (event.kind) {
                case Event::Kind::Input:
                    Feed(*line, event.bytes, node.key());
                    break;
                case Event::Kind::Output:
                    line->pending.insert(line->pending.end(), event.bytes.begin(),
                                         event.bytes.end());
                    Flush(*line);
                    break;
                case Event::Kind::Close:
                    CloseLine(event.line);
                    break;
            }
        }
    }
}
