#pragma once

#include <cstdint>
#include <string>

// The simulator's end of a pseudo-terminal. Linux quirks this class exists for: termios set
// or read on the master acts on the slave (so the client's baud rate is visible here), and
// after the client's last close the master reports POLLHUP until someone opens the slave
// again, which only inotify on the slave's node tells us without polling.
class PtyPort {
public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    bool Open(std::string& error);
    void Close();

    int MasterFd() const { return master_; }
    int WatchFd() const { return watch_; }
    const std::string& SlavePath() const { return slavePath_; }

    // The speed the client has set on its end, in baud; 0 when unknown.
    uint32_t ClientBaud() const;
    // Drains the inotify queue; true when the slave was opened since the last call.
    bool TakeOpenEvents();

private:
    int master_ = -1;
    int watch_ = -1;
    std::string slavePath_;
};

// speed_t constant to baud and back; 0 / B0 for rates termios does not name.
uint32_t SpeedToBaud(unsigned speed);
unsigned BaudToSpeed(uint32_t baud);
