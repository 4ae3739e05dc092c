// tarvelin-cli: identify a coder or update its firmware from a terminal or a script.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "cli/CommandLine.h"
#include "cli/EventStream.h"
#include "cli/PortList.h"
#include "console/ConsoleSetup.h"
#include "console/ProgramArguments.h"
#include "fleet/FleetRunner.h"
#include "update/CZelkorTools.h"

namespace {

// "Run 'tarvelin-cli update --help' ..." for a known command, else the top-level help.
std::string HelpPointer(const std::vector<std::string>& arguments) {
    std::string command;
    if (!arguments.empty() &&
        (arguments[0] == "identify" || arguments[0] == "update" || arguments[0] == "list-ports")) {
        command = arguments[0] + " ";
    }
    return "Run 'tarvelin-cli " + command + "--help' to see the options.";
}

}  // namespace

int main(int argc, char** argv) {
    PrepareConsole();
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    if (!arguments.empty() && arguments[0] == "fleet") {
        return RunFleetCommand({arguments.begin() + 1, arguments.end()});
    }
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.ok) {
        std::fprintf(stderr, "tarvelin-cli: %s\n%s\n", parsed.error.c_str(),
                     HelpPointer(arguments).c_str());
        // A script reading --events still gets its last line.
        if (std::find(arguments.begin(), arguments.end(), "--events") != arguments.end()) {
            EventStream(stdout, true)
                .Emit(kEventResult, {{"exitStatus", kExitUsage}, {"message", parsed.error}});
        }
        return kExitUsage;
    }
    const CliOptions& options = parsed.options;
    switch (options.command) {
        case CliOptions::Command::Help:
        case CliOptions::Command::Version:
            std::printf("%s", parsed.output.c_str());
            return 0;
        case CliOptions::Command::ListPorts:
            return ListPorts(options.json, options.language.value_or(SystemLanguage()));
        case CliOptions::Command::Identify:
        case CliOptions::Command::Update:
            break;
    }
    CZelkorTools::SetFatalHandler([](const std::string& message) {
        std::fprintf(stderr, "tarvelin-cli: %s\n", message.c_str());
        std::exit(kExitUnavailable);
    });
    CliSession session(options);
    return session.Run();
}
