#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Everything the simulated coder, its BIOS and its NetPC can be told on the command line.
// Delays are device times in milliseconds before `timeScale` is applied.
struct SimOptions {
    // Off: nothing of the coder answers (switched off, or its cable loose); over TCP the
    // NetPC still answers its own commands.
    enum class StartState { Firmware, Bios, Off };

    // A negative acknowledgement for one write-block (counted from 0), `times` attempts long;
    // times < 0 means every attempt.
    struct NackFault {
        int64_t block = 0;
        uint8_t code = 0;
        int32_t times = -1;
    };

    std::optional<uint16_t> tcpPort;  // 0 = ephemeral
    bool serial = false;
    std::string link;  // "COMn" or empty
    StartState state = StartState::Firmware;
    std::string version = "V2.15";                                 // --firmware-version
    std::optional<std::string> biosVersion = std::string("2.10");  // nullopt: 0x87 unanswered
    std::optional<uint16_t> mainPort = 4001;                       // nullopt: 0xCE unanswered
    uint32_t baud = 9600;
    uint8_t transferMode = 0;
    bool oldNetPc = false;
    bool pace = false;
    // Serial: a frame is judged (its line rate read) this long after its bytes arrived, as a
    // slow device or a USB adapter's FIFO would; 0 judges at once.
    int32_t judgeMs = 0;
    double timeScale = 1.0;
    int32_t eraseMs = 300;
    bool stayInBios = false;

    // Reboot times: the program pauses 2000/6500 ms after 0xEF and 6000/8000 ms after the finish
    // command, so the device comes back a little earlier than that.
    int32_t biosRebootSerialMs = 1500;
    int32_t biosRebootTcpMs = 5000;
    int32_t firmwareRebootSerialMs = 4000;
    int32_t firmwareRebootTcpMs = 6000;

    // An erase command for `region` acknowledged with `code`; the region stays as it was.
    struct EraseFault {
        uint8_t region = 0;
        uint8_t code = 0;
    };

    std::vector<NackFault> nacks;
    std::vector<EraseFault> eraseNacks;
    std::vector<int64_t> loseAcks;
    std::vector<int64_t> badCrcs;
    bool noise = false;
    bool noFinishAck = false;
    std::optional<int64_t> dropAfter;
    bool noReconnect = false;
    // From this TCP connection on (counted from 1) the listener is closed: new ones are refused.
    std::optional<int64_t> refuseFrom;
    int32_t slowMs = 0;
    std::string dumpFile;
    std::string dumpRawDir;
};

// The most coders one simulator serves (--coders); far more than one machine's test needs.
constexpr int32_t kMaxSimCoders = 512;

struct SimOptionsResult {
    bool ok = false;
    bool help = false;
    bool version = false;
    std::string error;  // set when !ok
    // The first coder's options; with one coder (the default) the only ones.
    SimOptions options;
    // One entry per coder (--coders N), numbered from 1 on the command line: the options every
    // coder shares plus those that name it (`--nack 3@BLOCK:CODE`, `--noise@3`).
    std::vector<SimOptions> coders;
};

SimOptionsResult ParseSimOptions(const std::vector<std::string>& args);
// The full --help text, in the shape help2man reads.
std::string SimHelp();
// "tarvelin-sim (Tarvelin) VERSION", the first line of --version.
std::string SimVersionLine();
