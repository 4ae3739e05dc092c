#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "FirmwareFolder.h"
#include "SimUnderTest.h"
#include "unit/TempDirectory.h"
#include "update/CZelkorTools.h"
#include "update/StringManager.h"
#include "update/UpdateProcedure.h"

// The procedure as a front end drives it, in this process, against a simulator in another:
// posts are recorded in order with the time they were made, the frame log is drained on the
// thread that built the procedure, and every pause is recorded (and taken in full).

struct Posted {
    uint32_t message;
    int64_t wParam;
    int64_t lParam;
    std::chrono::steady_clock::time_point at;
};

class RecordingSink : public ProcedureSink {
public:
    void Post(uint32_t message, int64_t wParam, int64_t lParam) override {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            posts_.push_back(Posted{message, wParam, lParam, std::chrono::steady_clock::now()});
        }
        wake_.notify_all();
        if (onPost) {
            onPost(message, wParam);
        }
    }
    // Called on the worker's thread after each post; set before a worker starts.
    std::function<void(uint32_t, int64_t)> onPost;
    void SetIdentifyStatus(int textNumber) override {
        std::lock_guard<std::mutex> hold(mutex_);
        statuses_.push_back(textNumber);
    }
    void WakeForFrames() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            framesPending_ = true;
        }
        wake_.notify_all();
    }
    // Waits until a post with `message` is there at index `from` or later, or the bound
    // passes; `drain` runs on this thread whenever frames are waiting. Returns its index or -1.
    int WaitForPost(uint32_t message, size_t from, std::chrono::milliseconds bound,
                    const std::function<void()>& drain) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        for (;;) {
            drain();
            std::unique_lock<std::mutex> hold(mutex_);
            for (size_t i = from; i < posts_.size(); ++i) {
                if (posts_[i].message == message) {
                    return static_cast<int>(i);
                }
            }
            from = posts_.size();
            if (std::chrono::steady_clock::now() >= deadline) {
                return -1;
            }
            wake_.wait_until(hold, deadline,
                             [&] { return framesPending_ || posts_.size() > from; });
            framesPending_ = false;
        }
    }
    std::vector<Posted> Posts() {
        std::lock_guard<std::mutex> hold(mutex_);
        return posts_;
    }
    std::vector<int> Statuses() {
        std::lock_guard<std::mutex> hold(mutex_);
        return statuses_;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Posted> posts_;
    std::vector<int> statuses_;
    bool framesPending_ = false;
};

class ObservedProcedure : public UpdateProcedure {
public:
    using UpdateProcedure::UpdateProcedure;

    std::vector<uint32_t> Pauses() {
        std::lock_guard<std::mutex> hold(mutex_);
        return pauses_;
    }
    // Called at the start of every pause with its length and its number (from 1); set before
    // a worker starts.
    std::function<void(uint32_t, size_t)> onPause;

protected:
    void Pause(uint32_t milliseconds) override {
        size_t number = 0;
        {
            std::lock_guard<std::mutex> hold(mutex_);
            pauses_.push_back(milliseconds);
            number = pauses_.size();
        }
        if (onPause) {
            onPause(milliseconds, number);
        }
        UpdateProcedure::Pause(milliseconds);
    }

private:
    std::mutex mutex_;
    std::vector<uint32_t> pauses_;
};

inline ConnectionChoice TcpChoice(uint16_t port) {
    ConnectionChoice choice;
    choice.connectionType = kConnectionTypeTcp;
    choice.tcpAddress = "127.0.0.1";
    choice.tcpPort = port;
    return choice;
}

inline ConnectionChoice SerialChoice(const std::string& device) {
    ConnectionChoice choice;
    choice.connectionType = kConnectionTypeSerial;
    choice.serialPort = 0;
    choice.serialDevice = device;
    return choice;
}

class ProcedureHarness {
public:
    struct Finished {
        int64_t result = -1;
        int64_t lastBlockResult = -1;
    };

    explicit ProcedureHarness(const ConnectionChoice& choice, const std::string& firmwareDir = {}) {
        CZelkorTools::GetInstance().Initialize(0);
        StringManager& strings = StringManager::GetInstance();
        strings.LoadFromResource(135);
        strings.SetLanguage("en");
        procedure = std::make_unique<ObservedProcedure>(sink);
        procedure->logWindow->SetWakeup([this] { sink.WakeForFrames(); });
        procedure->SetConnectionChoice(choice);
        procedure->SetLogPath(logDir_.Path() + "TarvelinLog.txt");
        if (!firmwareDir.empty()) {
            procedure->SetFirmwareDirectory(firmwareDir);
        }
    }
    // Against the simulator, over the line it offers.
    explicit ProcedureHarness(const SimUnderTest& device, const std::string& firmwareDir = {})
        : ProcedureHarness(
              device.Pty().empty() ? TcpChoice(device.Port()) : SerialChoice(device.Pty()),
              firmwareDir) {}
    ~ProcedureHarness() {
        procedure->WaitForWorker();
        procedure->m_handler.Close(0);
    }

    // Discovery (flashing the coder firmware alone is accepted) and the identification thread,
    // as the Info page runs them; the outcome, or -1 when none came within the bound.
    int64_t Identify(std::chrono::milliseconds bound = std::chrono::seconds(30)) {
        Answers answers;
        procedure->DiscoverFirmwareFiles(answers);
        const size_t from = sink.Posts().size();
        procedure->StartIdentification();
        const int at = sink.WaitForPost(WM_UPD_IDENTIFIED, from, bound, [this] { Drain(); });
        EXPECT_GE(at, 0) << "no identification outcome within " << bound.count() << " ms";
        procedure->WaitForWorker();
        Drain();
        return at < 0 ? -1 : sink.Posts()[static_cast<size_t>(at)].wParam;
    }

    // The flash thread up to its final message; its posts are FlashPosts().
    Finished Flash(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
        flashFrom_ = sink.Posts().size();
        procedure->StartFlashing();
        const int at = sink.WaitForPost(WM_UPD_FINISHED, flashFrom_, bound, [this] { Drain(); });
        EXPECT_GE(at, 0) << "the update did not finish within " << bound.count() << " ms";
        procedure->WaitForWorker();
        Drain();
        // A reconnection over TCP keeps its connection for the front end to close.
        procedure->m_handler.Close(0);
        if (at < 0) {
            return {};
        }
        const Posted last = sink.Posts()[static_cast<size_t>(at)];
        return {last.wParam, last.lParam};
    }

    std::vector<Posted> FlashPosts() {
        const std::vector<Posted> all = sink.Posts();
        return std::vector<Posted>(all.begin() + static_cast<long>(flashFrom_), all.end());
    }
    // The flash posts as {message, wParam, lParam}; a run of progress steps is one entry
    // {WM_UPD_PROGRESS_STEP, how many, 0}.
    // The six messages of the flash thread, runs of progress steps counted as one entry.
    std::vector<std::vector<int64_t>> FlashMessages() {
        std::vector<std::vector<int64_t>> messages;
        for (const Posted& p : FlashPosts()) {
            if (p.message == WM_UPD_WAIT) {
                continue;
            }
            if (p.message == WM_UPD_PROGRESS_STEP && !messages.empty() &&
                messages.back()[0] == WM_UPD_PROGRESS_STEP) {
                ++messages.back()[1];
            } else if (p.message == WM_UPD_PROGRESS_STEP) {
                messages.push_back({WM_UPD_PROGRESS_STEP, 1, 0});
            } else {
                messages.push_back({p.message, p.wParam, p.lParam});
            }
        }
        return messages;
    }

    // The waits the flash thread announced: {kind, longest ms}, an end as {0, 0}.
    std::vector<std::vector<int64_t>> FlashWaits() {
        std::vector<std::vector<int64_t>> waits;
        for (const Posted& p : FlashPosts()) {
            if (p.message == WM_UPD_WAIT) {
                waits.push_back({p.wParam, p.lParam});
            }
        }
        return waits;
    }

    std::vector<std::string> LogLines() const { return ReadLines(procedure->LogPath()); }
    // The log without its frame lines.
    std::vector<std::string> ProcedureLines() const {
        std::vector<std::string> lines;
        for (const std::string& line : LogLines()) {
            if (!IsFrameLine(line)) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    // The procedure lines from the first one equal to `first` on.
    std::vector<std::string> ProcedureLinesFrom(const std::string& first) const {
        const std::vector<std::string> lines = ProcedureLines();
        auto at = std::find(lines.begin(), lines.end(), first);
        return std::vector<std::string>(at, lines.end());
    }
    // Frame lines of one direction ("-> " or "<- "), optionally only those holding `part`.
    size_t CountFrameLines(const std::string& direction, const std::string& part = {}) const {
        size_t n = 0;
        for (const std::string& line : LogLines()) {
            n += IsFrameLine(line) && line.rfind(direction, 0) == 0 &&
                         line.find(part) != std::string::npos
                     ? 1
                     : 0;
        }
        return n;
    }
    // A frame line holds a whole frame from its start byte; "-> Bios is running" is no frame.
    static bool IsFrameLine(const std::string& line) {
        return line.rfind("-> FE,", 0) == 0 || line.rfind("<- FE,", 0) == 0;
    }

    RecordingSink sink;
    std::unique_ptr<ObservedProcedure> procedure;

private:
    class Answers : public DiscoveryQuestions {
    public:
        void CoderFileMissing() override {}
        bool ConfirmCoderOnly() override { return true; }
    };

    void Drain() { procedure->logWindow->DispatchPending(); }

    TempDirectory logDir_;
    size_t flashFrom_ = 0;
};

// Shorthands for what the flash tests compare: log lines, and posted messages as
// {message, wParam, lParam}.
using Lines = std::vector<std::string>;
using Messages = std::vector<std::vector<int64_t>>;
constexpr int64_t kStatus = WM_UPD_STATUS;
constexpr int64_t kStage = WM_UPD_STAGE;
constexpr int64_t kRange = WM_UPD_PROGRESS_RANGE;
constexpr int64_t kStep = WM_UPD_PROGRESS_STEP;
constexpr int64_t kFinished = WM_UPD_FINISHED;

inline Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// One way to the simulated coder for the flash tests that run over both, and what the
// procedure says and waits for differently on it.
struct FlashTransport {
    const char* name;
    std::vector<std::string> firmwareArgs;  // the simulator with a coder that runs its firmware
    std::vector<std::string> biosArgs;      // and with one in its BIOS
    int64_t inFirmware;                     // the identification outcomes for the two
    int64_t inBios;
    Lines firmwareOpened;  // the connection to the coder's firmware
    Lines biosOpened;      // every connection to its BIOS
    Lines afterReboot;     // the reconnection after the finish command's "Awaiting Reboot..."
    uint32_t startReboot;  // the pauses after the start and after the finish command
    uint32_t finishReboot;

    std::vector<std::string> Firmware(std::initializer_list<std::string> more = {}) const {
        return Concat({firmwareArgs, more});
    }
    std::vector<std::string> Bios(std::initializer_list<std::string> more = {}) const {
        return Concat({biosArgs, more});
    }
};
inline void PrintTo(const FlashTransport& transport, std::ostream* os) {
    *os << transport.name;
}

inline const Lines kTcpOpened{"Use TCP/IP connection", "Connection opened successfully!"};

inline const FlashTransport kFlashOverTcp{
    "Tcp",
    {"--tcp", "0", "--main-port", "0", "--time-scale", "0"},
    {"--tcp", "0", "--state", "bios", "--transfer-mode", "1", "--time-scale", "0"},
    UPD_TCP_FIRMWARE,
    UPD_TCP_BIOS,
    kTcpOpened,
    kTcpOpened,
    Concat({kTcpOpened,
            {"Trying to get firmware version...", "Current firmware version:  2.16",
             "Firmware version to flash: 2.16 (Coder_V02_16.img)", ""}}),
    6500,
    8000};

inline const FlashTransport kFlashOverSerial{
    "Serial",
    {"--serial", "--time-scale", "0"},
    {"--serial", "--state", "bios", "--time-scale", "0"},
    UPD_SERIAL_FIRMWARE,
    UPD_SERIAL_BIOS,
    {"Use Serial connection with 9600 baud", "Connection opened successfully!"},
    {"Use Serial connection with 115200 baud", "Connection opened successfully!"},
    {"Detecting baud rate...", "Trying baud rate 115200...", "Trying baud rate 9600...",
     "Detected baud rate: 9600"},
    2000,
    6000};
