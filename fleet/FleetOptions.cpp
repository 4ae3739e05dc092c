#include "fleet/FleetOptions.h"

#include <CLI/CLI.hpp>

#include "console/HelpSpellings.h"

std::string FleetUsage() {
    FleetOptions ignored;
    CLI::App app("", "tarvelin-cli");
    // The usage line names the whole command, as a user types it.
    return AddFleetCommand(app, ignored)->help("tarvelin-cli");
}

CLI::App* AddFleetCommand(CLI::App& app, FleetOptions& o) {
    CLI::App* fleet = app.add_subcommand(
        "fleet", "update every coder of an inventory, each in its own tarvelin-cli update");
    fleet->set_help_flag("-h,--help", "print this help and exit");
    fleet
        ->add_option("INVENTORY", o.inventory,
                     "CSV file: a header line name,connection[,...] and one coder a line; "
                     "connection is HOST:PORT, a COM number or a device path")
        ->required();
    fleet->add_option("-j,--jobs", o.jobs, "update at most N coders at once (8)")
        ->type_name("N")
        ->check(CLI::Range(1, 256));
    fleet
        ->add_option("--log-dir", o.logDirectory,
                     "the coders' logs as DIR/<name>.log (a new folder fleet-<date>-<time> "
                     "beside the inventory)")
        ->type_name("DIR");
    fleet
        ->add_option("--canary", o.canary,
                     "update the first K coders alone, the rest only when all of them succeeded")
        ->type_name("K")
        ->check(CLI::Range(1, 1000000));
    fleet
        ->add_option("--max-failures", o.maxFailures,
                     "start no further coders once N failed or were blocked")
        ->type_name("N")
        ->check(CLI::Range(1, 1000000));
    CLI::Option* skip =
        fleet->add_flag("--skip-current", o.skipCurrent,
                        "identify first and skip a coder that already runs the version to flash");
    fleet->add_flag("--identify-only", o.identifyOnly, "identify every coder and change nothing")
        ->excludes(skip);
    fleet
        ->add_option("--firmware-dir", o.firmwareDirectory,
                     "the folder with the firmware files, read by every coder's run")
        ->type_name("DIR");
    fleet->add_option("--coder", o.coderFile, "the coder firmware (*.img) instead of a folder")
        ->type_name("FILE");
    fleet->add_option("--samples", o.samplesFile, "with --coder and --dsp: the DSP samples")
        ->type_name("FILE");
    fleet->add_option("--dsp", o.dspFile, "with --coder: the DSP firmware")->type_name("FILE");
    fleet->add_option("--lang", o.language, "the language of the texts: en or de")
        ->check(CLI::IsMember({"en", "de"}));
    fleet->add_flag("-y,--yes", o.yes,
                    "confirm the warnings for every coder (without it such a coder is skipped)");
    fleet->add_flag("--json", o.json, "print the summary as one JSON object on standard output");
    const HelpSpellings& system = SystemHelpSpellings();
    fleet->footer(
        std::string("Exit status:\n"
                    "  0       every coder succeeded or already ran the version to flash\n"
                    "  1       a coder failed, was blocked by its identification or was skipped\n"
                    "  64      bad command line or inventory (nothing was started)\n"
                    "  130     ") +
        system.stopStatuses +
        ": the running\n"
        "          coders stopped at a block boundary, the others were not started; the summary\n"
        "          is written\n"
        "\nExamples:\n"
        "  Update every coder of the inventory with the files of a folder:\n"
        "    tarvelin-cli fleet coders.csv --firmware-dir " +
        system.downloadFolder +
        "\n"
        "  See what every coder runs first, changing nothing:\n"
        "    tarvelin-cli fleet coders.csv --identify-only\n"
        "  Two coders first, then four at a time, skipping those already up to date:\n"
        "    tarvelin-cli fleet coders.csv --canary 2 --jobs 4 --skip-current --yes\n");
    return fleet;
}

ParsedFleetOptions ParseFleetOptions(const std::vector<std::string>& arguments) {
    ParsedFleetOptions parsed;
    FleetOptions& o = parsed.options;
    CLI::App app("", "tarvelin-cli");
    CLI::App* fleet = AddFleetCommand(app, o);
    std::vector<std::string> reversed{arguments.rbegin(), arguments.rend()};
    reversed.push_back("fleet");
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.help = true;
        parsed.ok = true;
        return parsed;
    } catch (const CLI::ParseError& e) {
        parsed.error = e.what();
        return parsed;
    }
    (void)fleet;
    auto fail = [&parsed](const std::string& message) {
        parsed.ok = false;
        parsed.error = message;
        return parsed;
    };
    if (!o.firmwareDirectory.empty() && !o.coderFile.empty()) {
        return fail("give --firmware-dir or --coder, not both");
    }
    if ((!o.samplesFile.empty() || !o.dspFile.empty()) && o.coderFile.empty()) {
        return fail("--samples and --dsp need --coder");
    }
    parsed.ok = true;
    return parsed;
}

std::vector<std::string> FleetChildArguments(const FleetOptions& o, bool identify, bool serial,
                                             const std::string& connection,
                                             const std::string& logPath) {
    std::vector<std::string> args{identify ? "identify" : "update", "--events",
                                  serial ? "--serial" : "--tcp", connection};
    auto add = [&args](const char* option, const std::string& value) {
        if (!value.empty()) {
            args.push_back(option);
            args.push_back(value);
        }
    };
    add("--firmware-dir", o.firmwareDirectory);
    add("--coder", o.coderFile);
    add("--samples", o.samplesFile);
    add("--dsp", o.dspFile);
    add("--log", logPath);
    add("--lang", o.language);
    if (o.yes && !identify) {
        args.push_back("--yes");
    }
    return args;
}
