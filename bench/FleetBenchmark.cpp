// tarvelin-cli fleet against one coder alone: 32 simulated coders over TCP/IP flashed with all
// three files at -j 32, and one coder updated by itself, in the same run. Prints both wall
// times, their ratio, the peak memory of the fleet process and of its children, and checks
// every coder's flash against the files. Not a test: figures for a person to read.
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/ChildProcess.h"
#include "support/FirmwareImages.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    int coders = 32;
    double timeScale = 0.1;
    size_t coderBytes = 128 * 1024;
    size_t samplesBytes = 32 * 1024;
    size_t dspBytes = 64 * 1024;
    double target = 1.25;
};

// `args[0]` with the others, its standard input /dev/null, its output and error as given.
ChildProcess Spawn(const std::vector<std::string>& args, ChildStream output, ChildStream error) {
    ChildOptions options;
    options.program = args[0];
    options.arguments.assign(args.begin() + 1, args.end());
    options.input = ChildStream::Null();
    options.output = std::move(output);
    options.error = std::move(error);
    return ChildProcess(options);
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The peak resident set (VmHWM) of a live process in KiB; 0 when it is gone.
long PeakKib(ChildProcess::Id pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

std::vector<ChildProcess::Id> ChildrenOf(ChildProcess::Id parent) {
    std::vector<ChildProcess::Id> children;
    std::ifstream in("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) +
                     "/children");
    for (ChildProcess::Id pid; in >> pid;) {
        children.push_back(pid);
    }
    return children;
}

struct RunFigures {
    double seconds = 0;
    int status = -1;
    long parentKib = 0;
    long childKib = 0;  // the largest child seen
};

// Runs the command to its end, sampling its and its children's peak memory every 20 ms.
RunFigures Measure(const std::vector<std::string>& args, const std::string& outPath) {
    RunFigures figures;
    const auto begin = Clock::now();
    ChildProcess run = Spawn(args, ChildStream::File(outPath), ChildStream::File(outPath));
    if (!run.Started()) {
        std::fprintf(stderr, "tarvelin-bench-fleet: %s\n", run.StartError().c_str());
        return figures;
    }
    for (;;) {
        figures.parentKib = std::max(figures.parentKib, PeakKib(run.ProcessId()));
        for (ChildProcess::Id child : ChildrenOf(run.ProcessId())) {
            figures.childKib = std::max(figures.childKib, PeakKib(child));
        }
        if (const std::optional<ChildExit> exit = run.Wait(std::chrono::milliseconds(20))) {
            figures.status = exit->ShellStatus();
            break;
        }
    }
    figures.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--coders" && i + 1 < argc) {
            settings.coders = std::atoi(argv[++i]);
        } else if (arg == "--time-scale" && i + 1 < argc) {
            settings.timeScale = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: tarvelin-bench-fleet [--coders N (32)] [--time-scale F (0.1)]\n");
            return 2;
        }
    }
    if (settings.coders < 1 || settings.coders > 256) {
        std::fprintf(stderr, "tarvelin-bench-fleet: --coders must be 1 to 256\n");
        return 2;
    }

    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "tarvelin-bench-fleet-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string dir = pattern + "/";
    const std::vector<uint8_t> coder = GeneratedCoderImage(settings.coderBytes, "2.16");
    const std::vector<uint8_t> samples = GeneratedImage(settings.samplesBytes, kSamplesImageSeed);
    const std::vector<uint8_t> dsp = GeneratedImage(settings.dspBytes, kDspImageSeed);
    fs::create_directory(dir + "fw");
    Write(dir + "fw/Coder_V02_16.img", coder);
    Write(dir + "fw/Dsp_V01_00.smp", samples);
    Write(dir + "fw/Dsp_V01_00.dsp", dsp);
    const std::string expected = ExpectedDumpLine(0, "0x80000", coder) + "\n" +
                                 ExpectedDumpLine(1, "0xCDF00", samples) + "\n" +
                                 ExpectedDumpLine(2, "0xD8000", dsp) + "\n";

    // One simulator process: coders 1 to N for the fleet, coder N+1 alone.
    const int total = settings.coders + 1;
    char scale[32];
    std::snprintf(scale, sizeof scale, "%g", settings.timeScale);
    ChildProcess sim = Spawn({TARVELIN_SIM_PATH, "--tcp", "0", "--coders", std::to_string(total),
                              "--time-scale", scale, "--dump", dir + "dump.txt"},
                             ChildStream::Pipe(), ChildStream::Inherit());
    std::vector<std::string> targets;
    std::string announced;
    sim.ReadOutputUntil(announced, "ready\n", std::chrono::seconds(30));
    std::istringstream lines(announced);
    for (std::string line; std::getline(lines, line) && line != "ready";) {
        if (line.rfind("tcp ", 0) == 0) {
            targets.push_back(line.substr(4));
        }
    }
    if (static_cast<int>(targets.size()) != total) {
        std::fprintf(stderr, "tarvelin-bench-fleet: the simulator did not start\n");
        return 2;
    }

    std::printf("fleet benchmark: %d coders over TCP/IP at -j %d against one coder alone\n",
                settings.coders, settings.coders);
    std::printf("files: coder %zu, samples %zu, DSP %zu bytes (%zu blocks); device delays x%s\n",
                coder.size(), samples.size(), dsp.size(),
                (coder.size() + samples.size() + dsp.size() + 63) / 64, scale);
    std::fflush(stdout);

    const RunFigures single =
        Measure({TARVELIN_CLI_PATH, "update", "--tcp", targets.back(), "--firmware-dir", dir + "fw",
                 "--log", dir + "single.log", "--yes", "-q"},
                dir + "single.out");
    std::printf("single update:    %7.2f s (exit %d)\n", single.seconds, single.status);
    std::fflush(stdout);

    std::string csv = "name,connection\n";
    for (int i = 0; i < settings.coders; ++i) {
        csv += "coder" + std::to_string(i + 1) + "," + targets[i] + "\n";
    }
    std::ofstream(dir + "fleet.csv") << csv;
    const RunFigures fleet = Measure(
        {TARVELIN_CLI_PATH, "fleet", dir + "fleet.csv", "-j", std::to_string(settings.coders),
         "--firmware-dir", dir + "fw", "--log-dir", dir + "logs", "--yes"},
        dir + "fleet.out");
    std::printf("fleet of %d:      %7.2f s (exit %d)\n", settings.coders, fleet.seconds,
                fleet.status);

    sim.Signal(SIGTERM);
    sim.Wait(std::chrono::seconds(30));
    int matching = 0;
    for (int k = 1; k <= total; ++k) {
        if (ReadAll(dir + "dump.txt." + std::to_string(k)) == expected) {
            ++matching;
        } else {
            std::printf("coder %d: the flash differs from the files\n", k);
        }
    }

    const double ratio = fleet.seconds / single.seconds;
    std::printf("ratio fleet/single: %.3f (target <= %.2f; one after the other: %d)\n", ratio,
                settings.target, settings.coders);
    std::printf(
        "peak memory: fleet process %ld KiB, largest child (tarvelin-cli update) %ld KiB, "
        "single update %ld KiB\n",
        fleet.parentKib, fleet.childKib, single.parentKib);
    std::printf("flash check: %d of %d coders hold exactly the three files\n", matching, total);
    const bool ok = single.status == 0 && fleet.status == 0 && matching == total;
    if (!ok) {
        std::printf("a run failed; its output is in %s\n", dir.c_str());
        return 2;
    }
    fs::remove_all(dir);
    return ratio <= settings.target ? 0 : 1;
}
