// tarvelin-cli: identify a coder or update its firmware from a terminal or a script.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "cli/CommandLine.h"
#include "cli/FleetRunner.h"
#include "update/CZelkorTools.h"

namespace {
// A refused system is a failure to a script, not a success.
constexpr int kExitUnavailable = 69;
}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && arguments[0] == "fleet") {
        return RunFleetCommand({arguments.begin() + 1, arguments.end()});
    }
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.ok) {
        std::fprintf(stderr, "tarvelin-cli: %s\n%s", parsed.error.c_str(), UsageText().c_str());
        return kExitUsage;
    }
    if (parsed.options.command == CliOptions::Command::Help) {
        std::printf("%s", UsageText().c_str());
        return 0;
    }
    CZelkorTools::SetFatalHandler([](const std::string& message) {
        std::fprintf(stderr, "tarvelin-cli: %s\n", message.c_str());
        std::exit(kExitUnavailable);
    });
    CliSession session(parsed.options);
    return session.Run();
}
