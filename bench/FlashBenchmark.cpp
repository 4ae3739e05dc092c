// tarvelin-bench-flash: how close the engine comes to a bare blocking client when both flash
// the simulator, over loopback TCP and over a paced pseudo-terminal at 115200 baud.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/BareClient.h"
#include "bench/BenchFigures.h"
#include "protocol/T1x_UECPMessageHandler.h"
#include "sim/SimServer.h"
#include "uecp/FrameCodec.h"
#include "update/FirmwareBlocks.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kLineBaud = 115200;
constexpr double kTcpTarget = 0.5;
constexpr double kPtyTarget = 0.97;

struct Settings {
    int tcpBlocks = 8192;
    int tcpRuns = 5;
    int ptyBlocks = 1024;
    int ptyRuns = 3;
    bool tcp = true;
    bool pty = true;
};

// Block k of the image: a pattern that differs from block to block and needs some stuffing.
std::vector<uint8_t> BlockData(int block) {
    std::vector<uint8_t> data(kFirmwareBlockSize);
    for (int i = 0; i < kFirmwareBlockSize; ++i) {
        data[static_cast<size_t>(i)] = static_cast<uint8_t>(block * 7 + i * 13 + (block >> 8));
    }
    return data;
}

std::vector<uint8_t> Image(int blocks) {
    std::vector<uint8_t> image;
    for (int k = 0; k < blocks; ++k) {
        const auto data = BlockData(k);
        image.insert(image.end(), data.begin(), data.end());
    }
    return image;
}

uint8_t NextCounter(uint8_t counter) {
    return counter == 255 ? 1 : static_cast<uint8_t>(counter + 1);
}

std::vector<uint8_t> Frame(const std::vector<uint8_t>& field, uint8_t counter) {
    UECPMessage message;
    std::memcpy(message.data, field.data(), field.size());
    message.length = static_cast<int32_t>(field.size());
    uint8_t frame[kMaxStuffedFrame];
    int32_t length = 0;
    BuildFrame(message, counter, frame, length);
    return {frame, frame + length};
}

// The frames the engine sends after Open: three erases, then the blocks, numbered as it
// numbers them, so both clients put the same bytes on the line.
struct PrebuiltFrames {
    std::vector<std::vector<uint8_t>> erases;
    std::vector<std::vector<uint8_t>> blocks;
    uint64_t blockBytes = 0;
};

PrebuiltFrames Prebuild(int blocks) {
    PrebuiltFrames frames;
    uint8_t counter = 0;
    for (uint8_t region = 0; region < 3; ++region) {
        frames.erases.push_back(Frame({0x2D, 0x03, 'R', 'S', 0x51, region}, counter));
        counter = NextCounter(counter);
    }
    for (int k = 0; k < blocks; ++k) {
        const SegmentOffset at = BlockAddress(kCoderFirmwareSegment, static_cast<uint64_t>(k));
        std::vector<uint8_t> field{0x2D,
                                   0x03,
                                   'R',
                                   'S',
                                   0x50,
                                   static_cast<uint8_t>(at.segment >> 8),
                                   static_cast<uint8_t>(at.segment),
                                   static_cast<uint8_t>(at.offset >> 8),
                                   static_cast<uint8_t>(at.offset),
                                   static_cast<uint8_t>(kFirmwareBlockSize)};
        const auto data = BlockData(k);
        field.insert(field.end(), data.begin(), data.end());
        frames.blocks.push_back(Frame(field, counter));
        frames.blockBytes += frames.blocks.back().size();
        counter = NextCounter(counter);
    }
    return frames;
}

// The flash holds exactly the image from 0x80000 on, across the regions it spans.
bool FlashHoldsImage(SimServer& server, const std::vector<uint8_t>& image) {
    return server.WithDevice([&](SimDevice& device) {
        std::vector<uint8_t> flash;
        for (int region = 0; region < FlashMemory::kRegionCount; ++region) {
            const auto bytes = device.Coder().Flash().WrittenBytes(region);
            flash.insert(flash.end(), bytes.begin(), bytes.end());
            if (flash.size() >= image.size()) {
                break;
            }
            const auto& r = FlashMemory::kRegions[static_cast<size_t>(region)];
            if (bytes.size() < r.end - r.start) {
                break;  // a gap: the next region's bytes would not follow on
            }
        }
        return flash.size() == image.size() && flash == image;
    });
}

// One timed run; seconds per block, or a negative value with `error` set.
using Run = std::function<double(std::string& error)>;

double EngineRun(T1x_UECPMessageHandler& handler, int blocks, std::string& error) {
    UECP_IO_Error result = handler.Open();
    if (result != ERR_OK) {
        error = "engine open: " + std::string(ErrorName(result));
        return -1;
    }
    for (uint8_t region = 0; region < 3; ++region) {
        result = handler.EraseFlash(region, 0);
        if (result != ERR_OK) {
            error = "engine erase: " + std::string(ErrorName(result));
            handler.Close(1);
            return -1;
        }
    }
    const auto start = Clock::now();
    for (int k = 0; k < blocks; ++k) {
        const SegmentOffset at = BlockAddress(kCoderFirmwareSegment, static_cast<uint64_t>(k));
        const auto data = BlockData(k);
        result = handler.WriteBlock(data.data(), kFirmwareBlockSize, at.segment, at.offset, 0);
        if (result != ERR_OK && result != ERR_NACK_14) {
            error = "engine block " + std::to_string(k) + ": " + ErrorName(result);
            handler.Close(1);
            return -1;
        }
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    handler.Close(0);
    return took.count() / blocks;
}

double BareRun(int fd, const PrebuiltFrames& frames, uint64_t* ackBytes, std::string& error) {
    BareClient client(fd);
    if (!client.IsOpen()) {
        error = "bare client cannot open its line";
        return -1;
    }
    for (const auto& erase : frames.erases) {
        if (client.Exchange(erase) != 0) {
            error = "bare client erase failed";
            return -1;
        }
    }
    const uint64_t before = client.BytesReceived();
    const auto start = Clock::now();
    for (size_t k = 0; k < frames.blocks.size(); ++k) {
        const int code = client.Exchange(frames.blocks[k]);
        if (code != 0 && code != 14) {
            error = "bare client block " + std::to_string(k) + ": code " + std::to_string(code);
            return -1;
        }
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    if (ackBytes != nullptr) {
        *ackBytes = client.BytesReceived() - before;
    }
    return took.count() / static_cast<double>(frames.blocks.size());
}

struct Comparison {
    bool ok = false;
    double engine = 0;  // median seconds per block
    double bare = 0;
};

// Runs engine and bare client alternately, so a neighbour's load touches both alike, and
// checks the flash after every run.
Comparison Compare(SimServer& server, const std::vector<uint8_t>& image, int runs,
                   const Run& engine, const Run& bare) {
    Comparison comparison;
    std::vector<double> engineTimes;
    std::vector<double> bareTimes;
    std::printf("  run   engine us/block   bare us/block\n");
    for (int run = 1; run <= runs; ++run) {
        double times[2] = {0, 0};
        const Run* order[2] = {&engine, &bare};
        for (int which = 0; which < 2; ++which) {
            std::string error;
            times[which] = (*order[which])(error);
            if (times[which] < 0) {
                std::printf("  FAILED: %s\n", error.c_str());
                return comparison;
            }
            if (!FlashHoldsImage(server, image)) {
                std::printf("  FAILED: the flash does not hold what the %s sent\n",
                            which == 0 ? "engine" : "bare client");
                return comparison;
            }
        }
        engineTimes.push_back(times[0]);
        bareTimes.push_back(times[1]);
        std::printf("  %3d   %15.1f   %13.1f\n", run, times[0] * 1e6, times[1] * 1e6);
        std::fflush(stdout);
    }
    comparison.ok = true;
    comparison.engine = Median(engineTimes);
    comparison.bare = Median(bareTimes);
    return comparison;
}

bool Verdict(const Comparison& c, double target) {
    const double ratio = c.bare / c.engine;
    std::printf("  median      engine %.1f us/block, bare client %.1f us/block\n", c.engine * 1e6,
                c.bare * 1e6);
    std::printf("  engine overhead per block: %.1f us\n", (c.engine - c.bare) * 1e6);
    std::printf("  ratio bare/engine: %.3f  (target >= %.2f: %s)\n", ratio, target,
                ratio >= target ? "met" : "MISSED");
    return ratio >= target;
}

bool StartServer(SimServer& server) {
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return false;
    }
    return true;
}

int BenchTcp(const Settings& settings, bool& met) {
    std::printf(
        "\n[TCP] WriteBlock of %d blocks of 64 bytes over loopback TCP to the simulator's BIOS\n"
        "      (in-process, own thread, no device delays); %d runs, median reported.\n",
        settings.tcpBlocks, settings.tcpRuns);
    SimOptions options;
    options.tcpPort = 0;
    options.state = SimOptions::StartState::Bios;
    options.transferMode = 1;
    options.timeScale = 0;
    options.eraseMs = 0;
    SimServer server(options);
    if (!StartServer(server)) {
        return 2;
    }
    const PrebuiltFrames frames = Prebuild(settings.tcpBlocks);
    const std::vector<uint8_t> image = Image(settings.tcpBlocks);
    T1x_UECPMessageHandler handler;
    handler.SetTcpParams(TCP_ConnectionParams("127.0.0.1", server.port()));
    const Comparison c = Compare(
        server, image, settings.tcpRuns,
        [&](std::string& error) { return EngineRun(handler, settings.tcpBlocks, error); },
        [&](std::string& error) {
            return BareRun(ConnectLoopbackBlocking(server.port()), frames, nullptr, error);
        });
    server.Stop();
    if (!c.ok) {
        return 2;
    }
    met = Verdict(c, kTcpTarget) && met;
    return 0;
}

int BenchPty(const Settings& settings, bool& met) {
    std::printf(
        "\n[PTY] WriteBlock of %d blocks of 64 bytes over a pseudo-terminal at %u baud 8N1;\n"
        "      the simulator paces both directions at the line rate; %d runs, median reported.\n",
        settings.ptyBlocks, kLineBaud, settings.ptyRuns);
    SimOptions options;
    options.serial = true;
    options.pace = true;
    options.state = SimOptions::StartState::Bios;
    options.timeScale = 0;
    options.eraseMs = 0;
    SimServer server(options);
    if (!StartServer(server)) {
        return 2;
    }
    const PrebuiltFrames frames = Prebuild(settings.ptyBlocks);
    const std::vector<uint8_t> image = Image(settings.ptyBlocks);
    T1x_UECPMessageHandler handler;
    SIO_ConnectionParams params(1, static_cast<int32_t>(kLineBaud));
    params.devicePath = server.ptyPath();
    handler.SetSerialParams(params);
    uint64_t ackBytes = 0;
    const Comparison c = Compare(
        server, image, settings.ptyRuns,
        [&](std::string& error) { return EngineRun(handler, settings.ptyBlocks, error); },
        [&](std::string& error) {
            return BareRun(OpenTtyBlocking(server.ptyPath().c_str(), kLineBaud), frames, &ackBytes,
                           error);
        });
    server.Stop();
    if (!c.ok) {
        return 2;
    }
    const double wire = WireSeconds(frames.blockBytes + ackBytes, kLineBaud) / settings.ptyBlocks;
    std::printf(
        "  wire-time limit: %.1f us/block (%.1f request + %.1f acknowledgement bytes per\n"
        "                   block as stuffed on the line, 10 bits per byte at %u baud)\n",
        wire * 1e6, static_cast<double>(frames.blockBytes) / settings.ptyBlocks,
        static_cast<double>(ackBytes) / settings.ptyBlocks, kLineBaud);
    std::printf("  measured against it: engine %.3f x, bare client %.3f x the wire time\n",
                c.engine / wire, c.bare / wire);
    met = Verdict(c, kPtyTarget) && met;
    return 0;
}

bool ParseCount(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 1 || parsed > 8192) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: tarvelin-bench-flash [--tcp-only | --pty-only] [--tcp-blocks N]\n"
                 "                            [--tcp-runs N] [--pty-blocks N] [--pty-runs N]\n"
                 "Blocks at most 8192 (the flash from 0x80000 to 0xFFFFF).\n"
                 "Exit status: 0 both ratios met, 1 a ratio missed, 2 a run failed, 64 usage.\n");
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        bool ok = true;
        if (arg == "--tcp-only") {
            settings.pty = false;
        } else if (arg == "--pty-only") {
            settings.tcp = false;
        } else if (arg == "--tcp-blocks" && hasValue) {
            ok = ParseCount(argv[++i], settings.tcpBlocks);
        } else if (arg == "--tcp-runs" && hasValue) {
            ok = ParseCount(argv[++i], settings.tcpRuns);
        } else if (arg == "--pty-blocks" && hasValue) {
            ok = ParseCount(argv[++i], settings.ptyBlocks);
        } else if (arg == "--pty-runs" && hasValue) {
            ok = ParseCount(argv[++i], settings.ptyRuns);
        } else {
            ok = false;
        }
        if (!ok) {
            Usage();
            return 64;
        }
    }
    std::printf(
        "Flashing throughput: the engine (T1x_UECPMessageHandler::WriteBlock with its I/O\n"
        "thread) against a bare single-threaded blocking client that writes the same\n"
        "prebuilt frames and reads each acknowledgement. Both flash the simulator; the\n"
        "flash is compared with the image after every run. Ratio = bare / engine time.\n");
    bool met = true;
    if (settings.tcp) {
        if (const int status = BenchTcp(settings, met); status != 0) {
            return status;
        }
    }
    if (settings.pty) {
        if (const int status = BenchPty(settings, met); status != 0) {
            return status;
        }
    }
    std::printf("\n%s\n", met ? "All ratios at or above target." : "A ratio is BELOW target.");
    return met ? 0 : 1;
}
