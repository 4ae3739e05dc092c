#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/EscapedText.h"
#include "sim/SimFleet.h"
#include "sim/SimOptions.h"

namespace {

constexpr int kExitUsage = 64;  // sysexits EX_USAGE
constexpr int kExitFailure = 1;

// Errors echo option values and paths as given; shown escaped, each stays one line.
void PrintError(const std::string& error) {
    std::fprintf(stderr, "tarvelin-sim: %s\n", EscapeControls(error).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const SimOptionsResult parsed =
        ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.ok) {
        PrintError(parsed.error);
        std::fputs("Try 'tarvelin-sim --help' for the options.\n", stderr);
        return kExitUsage;
    }
    if (parsed.help) {
        std::fputs(SimHelp().c_str(), stdout);
        return 0;
    }
    if (parsed.version) {
        std::printf("%s\n", SimVersionLine().c_str());
        return 0;
    }

    // Signals are taken synchronously by this thread only; the server threads never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    SimFleet fleet(parsed.coders);
    std::string error;
    if (!fleet.Start(error)) {
        PrintError(error);
        return kExitFailure;
    }
    for (const std::string& line : fleet.Announcements()) {
        std::printf("%s\n", line.c_str());
    }
    std::printf("ready\n");
    std::fflush(stdout);

    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            continue;
        }
        if (received == SIGUSR1) {
            if (!fleet.WriteDumps(error)) {
                PrintError(error);
            }
            continue;
        }
        break;
    }
    fleet.Stop();
    if (!fleet.WriteDumps(error)) {
        PrintError(error);
        return kExitFailure;
    }
    return 0;
}
