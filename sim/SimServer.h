#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/PortLink.h"
#include "sim/PtyPort.h"
#include "sim/SimDevice.h"
#include "sim/SimOptions.h"
#include "transport/AutoFrameBuffer.h"

// Serves one SimDevice over a loopback TCP listener and/or a pseudo-terminal on its own
// thread. Answers leave at the times the device gives them; over the pty they can be paced at
// the client's line rate. The device state lives as long as the server, across connections.
class SimServer {
public:
    explicit SimServer(const SimOptions& options);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    bool Start(std::string& error);
    void Stop();

    uint16_t port() const { return port_; }
    const std::string& ptyPath() const { return pty_.SlavePath(); }
    const std::string& linkPath() const { return link_.Path(); }

    // The dump lines of the flash (see FlashMemory::DumpText), taken under the device lock.
    std::string DumpText() const;
    // Writes --dump and --dump-raw when they were given.
    bool WriteDumps(std::string& error) const;

    // Runs `f` on the device under its lock, for tests and the dump.
    template <class F>
    auto WithDevice(F&& f) {
        std::lock_guard<std::mutex> lock(deviceMutex_);
        return f(device_);
    }

private:
    struct Line;
    struct Event {
        enum class Kind { Input, Output, Close } kind;
        uint64_t line;
        Bytes bytes;
    };

    static SimTime Now();
    void Run();
    bool OpenListener(std::string& error);
    void Accept();
    void ReadLine(Line& line, SimTime now);
    void Feed(Line& line, const Bytes& bytes, SimTime now);
    void Schedule(Line& line, std::vector<Emission> emissions);
    void Flush(Line& line);
    void CloseLine(uint64_t id);
    Line* Find(uint64_t id);

    const SimOptions options_;
    mutable std::mutex deviceMutex_;
    SimDevice device_;

    int listenFd_ = -1;
    uint16_t port_ = 0;
    PtyPort pty_;
    PortLink link_;
    bool ptyHungUp_ = false;
    SimTime ptyInFree_{0};
    SimTime ptyOutFree_{0};

    int wakeFd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<std::unique_ptr<Line>> lines_;
    uint64_t nextLineId_ = 1;
    int64_t accepted_ = 0;
    std::multimap<SimTime, Event> events_;
};
