#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>

#include "console/ConnectionArguments.h"
#include "console/HelpSpellings.h"
#include "fleet/FleetOptions.h"
#include "update/Utf8Path.h"

namespace {

// What the options hold while CLI11 reads them; checked and turned into CliOptions after.
struct RawOptions {
    std::string serial;
    std::string tcp;
    std::string firmwareDirectory;
    std::string coder;
    std::string samples;
    std::string dsp;
    std::string log;
    std::string language;
    bool json = false;
    bool events = false;
    bool yes = false;
    bool quiet = false;
    bool verbose = false;
    FleetOptions fleet;  // parsed by RunFleetCommand; here for the help and the man page
};

struct CommandApp {
    std::unique_ptr<CLI::App> app;
    CLI::App* identify = nullptr;
    CLI::App* update = nullptr;
    CLI::App* listPorts = nullptr;
};

constexpr const char* kCommandList = "identify, update, list-ports or fleet";

// The end of each command's help: what it is for, shown by two or three uses.
std::string IdentifyExamples() {
    const HelpSpellings& system = SystemHelpSpellings();
    return std::string(
               "\nExamples:\n"
               "  Check the coder on COM5 and the files of a folder, changing nothing:\n"
               "    tarvelin-cli identify --serial COM5 --firmware-dir ") +
           system.downloadFolder +
           "\n"
           "  Only the versions, as the last line:\n"
           "    tarvelin-cli identify --tcp 192.168.1.20:4001 -q\n"
           "  The coder and the plan as JSON, for a script:\n"
           "    tarvelin-cli identify --serial " +
           system.serialDevice + " --coder Coder_V02_16.img --json\n";
}

std::string UpdateExamples() {
    const HelpSpellings& system = SystemHelpSpellings();
    return std::string(
               "\nExamples:\n"
               "  Update the coder on COM5 with the files of a folder, asking before a "
               "warning:\n"
               "    tarvelin-cli update --serial COM5 --firmware-dir ") +
           system.downloadFolder +
           "\n"
           "  Over TCP/IP from a script, confirming the warnings, with one JSON line per event:\n"
           "    tarvelin-cli update --tcp 192.168.1.20:4001 --yes --events\n"
           "  The files named one by one, texts in German:\n"
           "    tarvelin-cli update --serial " +
           system.serialDevice + " --coder Coder_V02_16.img" + system.lineBreak +
           "--dsp Dsp_V01_00.dsp --lang de\n";
}

constexpr const char* kListPortsFooter =
    "Exit status:\n"
    "  0       the ports were listed (also when there are none)\n"
    "  64      usage error\n"
    "\nExamples:\n"
    "  Find the COM number of a USB serial adapter and what holds it:\n"
    "    tarvelin-cli list-ports\n"
    "  The same for a script:\n"
    "    tarvelin-cli list-ports --json\n";

std::string PortHelp() {
    return std::string("the serial port: a COM number (7 or COM7) or a device path such as ") +
           SystemHelpSpellings().serialDevice;
}

void AddConnectionOptions(CLI::App& command, RawOptions& raw, bool updating) {
    command.add_option("--serial", raw.serial, PortHelp())->type_name("PORT");
    command.add_option("--tcp", raw.tcp, "the NetPC's address and port, e.g. 192.168.1.20:4001")
        ->type_name("HOST:PORT");
    command
        .add_option("--firmware-dir", raw.firmwareDirectory,
                    "the folder with the firmware files (*.img, *.smp, *.dsp); default: the "
                    "program's folder when it holds a coder firmware, else the working directory")
        ->type_name("DIR");
    command.add_option("--coder", raw.coder, "the coder firmware (*.img) instead of a folder")
        ->type_name("FILE");
    command.add_option("--samples", raw.samples, "with --coder and --dsp: the DSP samples (*.smp)")
        ->type_name("FILE");
    command.add_option("--dsp", raw.dsp, "with --coder: the DSP firmware (*.dsp)")
        ->type_name("FILE");
    command
        .add_option("--log", raw.log,
                    "the update log; default: TarvelinLog.txt beside the firmware files")
        ->type_name("FILE");
    command.add_option("--lang", raw.language, "the language of the texts (default: the locale)")
        ->type_name("en|de");
    command.add_flag("--json", raw.json, "print one JSON object at the end on standard output");
    command.add_flag("--events", raw.events,
                     "print one JSON object per line on standard output while the run goes");
    command.add_flag("-q,--quiet", raw.quiet, "print only errors, warnings and the final line");
    command.add_flag("-v,--verbose", raw.verbose,
                     "also print every frame on standard error as the log writes it");
    if (updating) {
        command.add_flag("-y,--yes", raw.yes,
                         "answer yes to the confirmations (a missing DSP firmware, a warning of "
                         "the version checks)");
    }
}

// --help-all (the man page's source) lists each command's options under a heading of its
// own, which help2man turns into a section.
class ManualFormatter : public CLI::Formatter {
public:
    // The commands in one line each under "Subcommands:", as --help has them, then their
    // sections; CLI11 alone leaves the heading empty in this mode.
    std::string make_subcommands(const CLI::App* app, CLI::AppFormatMode mode) const override {
        if (mode != CLI::AppFormatMode::All) {
            return CLI::Formatter::make_subcommands(app, mode);
        }
        std::string out = CLI::Formatter::make_subcommands(app, CLI::AppFormatMode::Normal);
        for (const CLI::App* sub : app->get_subcommands({})) {
            out += sub->help(sub->get_name(), CLI::AppFormatMode::Sub) + "\n";
        }
        return out;
    }
    std::string make_expanded(const CLI::App* sub) const override {
        std::string out =
            "\nOptions of " + sub->get_name() + " (" + sub->get_description() + "):\n";
        for (const CLI::Option* option : sub->get_options()) {
            if (option->get_name() != "--help-all" && option->get_name() != "--help") {
                out += make_option(option, false);
            }
        }
        return out;
    }
};

CommandApp BuildApp(RawOptions& raw) {
    CommandApp built;
    built.app = std::make_unique<CLI::App>(
        "Identify a T1x RDS coder or update its firmware over a serial port or TCP/IP.",
        "tarvelin-cli");
    CLI::App& app = *built.app;
    app.formatter(std::make_shared<ManualFormatter>());
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_help_all_flag("--help-all", "print the help of every command and exit");
    app.set_version_flag("-V,--version", ProgramVersion(), "print the version and exit");
    app.require_subcommand(0, 1);
    app.footer(ExitStatusText());

    built.identify = app.add_subcommand(
        "identify",
        "connect, identify the coder and check the firmware files: a dry run of update");
    built.update = app.add_subcommand("update", "identify the coder, then flash the firmware");
    built.listPorts =
        app.add_subcommand("list-ports", "list the serial ports with their USB details");
    for (CLI::App* command : {built.identify, built.update, built.listPorts}) {
        command->set_help_flag("-h,--help", "print this help and exit");
        command->allow_extras();  // reported as "unknown option" below
    }
    AddConnectionOptions(*built.identify, raw, false);
    AddConnectionOptions(*built.update, raw, true);
    built.identify->footer(ExitStatusText() + IdentifyExamples());
    built.update->footer(ExitStatusText() + UpdateExamples());
    built.listPorts->footer(kListPortsFooter);
    built.listPorts->add_flag("--json", raw.json, "print the ports as a JSON array");
    AddFleetCommand(app, raw.fleet);
    return built;
}

// "--serial: 1 required PORT missing" -> "--serial".
std::string OptionNameOf(const std::string& message) {
    return message.substr(0, message.find(':'));
}

bool ParseLanguage(const std::string& text, CliOptions& options, std::string& error) {
    if (text.empty()) {
        return true;
    }
    if (text == "en") {
        options.language = Language::English;
    } else if (text == "de") {
        options.language = Language::German;
    } else {
        error = "unknown language '" + text + "' (use en or de)";
        return false;
    }
    return true;
}

// The checks CLI11 cannot express: targets in our syntax, and which options go together.
bool CheckConnectionOptions(const CLI::App& command, const RawOptions& raw, CliOptions& options,
                            std::string& error) {
    const bool serial = command.count("--serial") > 0;
    const bool tcp = command.count("--tcp") > 0;
    if (serial && tcp) {
        error = "give exactly one of --serial and --tcp";
        return false;
    }
    if (!serial && !tcp) {
        error = "give one of --serial PORT and --tcp HOST:PORT";
        return false;
    }
    if (serial ? !ParseSerialPort(raw.serial, options.choice, error)
               : !ParseTcpTarget(raw.tcp, options.choice, error)) {
        return false;
    }
    const auto given = [&](const char* name) { return command.count(name) > 0; };
    for (const char* name : {"--firmware-dir", "--coder", "--samples", "--dsp", "--log"}) {
        if (given(name) && command.get_option(name)->as<std::string>().empty()) {
            error = std::string(name) + " needs a " +
                    (std::string(name) == "--firmware-dir" ? "folder" : "file name");
            return false;
        }
    }
    if (given("--firmware-dir") && given("--coder")) {
        error = "give --firmware-dir or --coder, not both";
        return false;
    }
    if ((given("--samples") || given("--dsp")) && !given("--coder")) {
        error = "--samples and --dsp name files together with --coder FILE";
        return false;
    }
    if (given("--samples") && !given("--dsp")) {
        error = "--samples is flashed only together with a DSP firmware: add --dsp FILE";
        return false;
    }
    if (raw.json && raw.events) {
        error = "give --json or --events, not both";
        return false;
    }
    if (raw.quiet && raw.verbose) {
        error = "give -q or -v, not both";
        return false;
    }
    if (!ParseLanguage(raw.language, options, error)) {
        return false;
    }
    options.firmwareDirectory = WithForwardSlashes(raw.firmwareDirectory);
    if (!options.firmwareDirectory.empty() && options.firmwareDirectory.back() != '/') {
        options.firmwareDirectory += '/';
    }
    options.coderFile = WithForwardSlashes(raw.coder);
    options.samplesFile = WithForwardSlashes(raw.samples);
    options.dspFile = WithForwardSlashes(raw.dsp);
    options.logPath = WithForwardSlashes(raw.log);
    options.json = raw.json;
    options.events = raw.events;
    options.yes = raw.yes;
    options.verbosity = raw.quiet     ? CliOptions::Verbosity::Quiet
                        : raw.verbose ? CliOptions::Verbosity::Verbose
                                      : CliOptions::Verbosity::Normal;
    return true;
}

std::string UnknownArgument(const std::string& argument) {
    if (!argument.empty() && argument[0] == '-') {
        return "unknown option '" + argument + "'";
    }
    return "unexpected argument '" + argument + "'";
}

ParsedCommandLine Parse(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
    if (arguments.empty()) {
        parsed.error = std::string("missing command (") + kCommandList + ")";
        return parsed;
    }
    const std::string& first = arguments[0];
    if (first == "help") {
        options.command = CliOptions::Command::Help;
        parsed.output = UsageText();
        parsed.ok = true;
        return parsed;
    }
    if (first.empty() ||
        (first[0] != '-' && first != "identify" && first != "update" && first != "list-ports")) {
        parsed.error = "unknown command '" + first + "' (use " + kCommandList + ")";
        return parsed;
    }

    RawOptions raw;
    CommandApp built = BuildApp(raw);
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        built.app->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        options.command = CliOptions::Command::Help;
        parsed.output = built.app->help();
        parsed.ok = true;
        return parsed;
    } catch (const CLI::CallForAllHelp&) {
        options.command = CliOptions::Command::Help;
        parsed.output = built.app->help("", CLI::AppFormatMode::All);
        parsed.ok = true;
        return parsed;
    } catch (const CLI::CallForVersion&) {
        options.command = CliOptions::Command::Version;
        parsed.output = "tarvelin-cli " + ProgramVersion() + "\n";
        parsed.ok = true;
        return parsed;
    } catch (const CLI::ArgumentMismatch& e) {
        parsed.error = "option " + OptionNameOf(e.what()) + " needs a value";
        return parsed;
    } catch (const CLI::ExtrasError& e) {
        parsed.error =
            UnknownArgument(built.app->remaining().empty() ? std::string(e.what())
                                                           : built.app->remaining().front());
        return parsed;
    } catch (const CLI::ParseError& e) {
        parsed.error = e.what();
        return parsed;
    }

    CLI::App* command = nullptr;
    for (CLI::App* candidate : {built.identify, built.update, built.listPorts}) {
        if (candidate->parsed()) {
            command = candidate;
        }
    }
    if (command == nullptr) {
        parsed.error = std::string("missing command (") + kCommandList + ")";
        return parsed;
    }
    const std::vector<std::string> extras = command->remaining();
    if (!extras.empty()) {
        parsed.error = UnknownArgument(extras.front());
        return parsed;
    }
    if (command == built.listPorts) {
        options.command = CliOptions::Command::ListPorts;
        options.json = raw.json;
        parsed.ok = true;
        return parsed;
    }
    options.command =
        command == built.update ? CliOptions::Command::Update : CliOptions::Command::Identify;
    parsed.ok = CheckConnectionOptions(*command, raw, options, parsed.error);
    return parsed;
}

}  // namespace

std::string ProgramVersion() {
    return TARVELIN_VERSION;
}

std::string ExitStatusText() {
    return "Exit status:\n"
           "  0       success (identify: update may go on)\n"
           "  1       no baud rate detected (serial: the port opened, nothing answered)\n"
           "  4       no connection to the coder (also a serial port that cannot be opened)\n"
           "  5-18    the update failed; the text says where (10-12: a firmware file cannot be\n"
           "          read or does not fit its flash space, also found by identify)\n"
           "  19      the NetPC firmware is too old for an update over TCP/IP\n"
           "  23      the coder's BIOS is too old for an update over TCP/IP\n"
           "  64      usage error\n"
           "  66      no coder firmware file\n"
           "  69      the system refused a resource the program needs\n"
           "  73      the --log file cannot be written\n"
           "  75      a confirmation is needed: run again with --yes\n"
           "  130     " +
           std::string(SystemHelpSpellings().stopStatuses) + "\n";
}

std::string UsageText() {
    RawOptions raw;
    return BuildApp(raw).app->help();
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    try {
        return Parse(arguments);
    } catch (const std::exception& e) {
        ParsedCommandLine parsed;
        parsed.error = std::string("cannot read the command line: ") + e.what();
        return parsed;
    } catch (...) {
        ParsedCommandLine parsed;
        parsed.error = "cannot read the command line";
        return parsed;
    }
}
