// tarvelin-cli: identify a coder or update its firmware from a terminal or a script.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "cli/CommandLine.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.ok) {
        std::fprintf(stderr, "tarvelin-cli: %s\n%s", parsed.error.c_str(), UsageText().c_str());
        return kExitUsage;
    }
    if (parsed.options.command == CliOptions::Command::Help) {
        std::printf("%s", UsageText().c_str());
        return 0;
    }
    CliSession session(parsed.options);
    return session.Run();
}
