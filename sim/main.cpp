#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/SimOptions.h"
#include "sim/SimServer.h"

namespace {

constexpr int kExitUsage = 64;  // sysexits EX_USAGE
constexpr int kExitFailure = 1;

}  // namespace

int main(int argc, char** argv) {
    const SimOptionsResult parsed =
        ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
        std::fputs(SimUsage().c_str(), stdout);
        return 0;
    }
    if (!parsed.ok) {
        std::fprintf(stderr, "tarvelin-sim: %s\n%s", parsed.error.c_str(), SimUsage().c_str());
        return kExitUsage;
    }

    // Signals are taken synchronously by this thread only; the server thread never sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    SimServer server(parsed.options);
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "tarvelin-sim: %s\n", error.c_str());
        return kExitFailure;
    }
    if (parsed.options.tcpPort) {
        std::printf("tcp 127.0.0.1:%u\n", server.port());
    }
    if (parsed.options.serial) {
        std::printf("serial %s\n", server.ptyPath().c_str());
    }
    if (!server.linkPath().empty()) {
        std::printf("link %s\n", server.linkPath().c_str());
    }
    std::printf("ready\n");
    std::fflush(stdout);

    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0) {
            continue;
        }
        if (received == SIGUSR1) {
            if (!server.WriteDumps(error)) {
                std::fprintf(stderr, "tarvelin-sim: %s\n", error.c_str());
            }
            continue;
        }
        break;
    }
    server.Stop();
    if (!server.WriteDumps(error)) {
        std::fprintf(stderr, "tarvelin-sim: %s\n", error.c_str());
        return kExitFailure;
    }
    return 0;
}
