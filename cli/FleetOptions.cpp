#include "cli/FleetOptions.h"

#include <charconv>

namespace {

bool ParseCount(const std::string& text, int low, int high, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end && value >= low && value <= high;
}

}  // namespace

std::string FleetUsage() {
    return "usage: tarvelin-cli fleet INVENTORY [-j N] [--log-dir DIR] [--canary K]\n"
           "                         [--max-failures N] [--skip-current | --identify-only]\n"
           "                         [--firmware-dir DIR | --coder FILE [--samples FILE]\n"
           "                         [--dsp FILE]] [--lang en|de] [--yes] [--json]\n"
           "  INVENTORY          CSV file: a header line name,connection[,...], one coder a\n"
           "                     line; connection is HOST:PORT, a COM number or a device path\n"
           "  -j, --jobs N       update at most N coders at once (8)\n"
           "  --log-dir DIR      the coders' logs, DIR/<name>.log (a new folder\n"
           "                     fleet-<date>-<time> beside the inventory)\n"
           "  --canary K         update the first K coders alone, the rest when all succeeded\n"
           "  --max-failures N   start no further coders once N failed or were blocked\n"
           "  --skip-current     identify first; skip a coder that runs the version to flash\n"
           "  --identify-only    identify every coder and change nothing\n"
           "  --yes              confirm the warnings for every coder (else it is skipped)\n"
           "  --json             print the summary as one JSON object on standard output\n"
           "Exit status: 0 every coder succeeded or was current, 1 one failed, was blocked or\n"
           "was skipped, 64 bad command line or inventory, 130 interrupted.\n";
}

ParsedFleetOptions ParseFleetOptions(const std::vector<std::string>& arguments) {
    ParsedFleetOptions parsed;
    FleetOptions& o = parsed.options;
    auto fail = [&parsed](const std::string& message) {
        parsed.ok = false;
        parsed.error = message;
        return parsed;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::string value;
        bool hasValue = false;
        if (option.rfind("--", 0) == 0 && option.find('=') != std::string::npos) {
            value = option.substr(option.find('=') + 1);
            option = option.substr(0, option.find('='));
            hasValue = true;
        }
        auto take = [&](const char* what) -> bool {
            if (hasValue) {
                return true;
            }
            if (i + 1 >= arguments.size()) {
                return false;
            }
            value = arguments[++i];
            (void)what;
            return true;
        };
        auto needs = [&](const std::string& what) { return fail(option + " needs " + what); };
        if (option == "-h" || option == "--help") {
            parsed.help = true;
        } else if (option == "-j" || option == "--jobs") {
            if (!take("N")) {
                return needs("a number");
            }
            if (!ParseCount(value, 1, 256, o.jobs)) {
                return fail(option + ": expected 1 to 256 coders at once, got '" + value + "'");
            }
        } else if (option.rfind("-j", 0) == 0 && option.size() > 2 && option[1] == 'j') {
            value = option.substr(2);
            if (!ParseCount(value, 1, 256, o.jobs)) {
                return fail("-j: expected 1 to 256 coders at once, got '" + value + "'");
            }
        } else if (option == "--log-dir") {
            if (!take("DIR") || value.empty()) {
                return needs("a folder");
            }
            o.logDirectory = value;
        } else if (option == "--canary") {
            if (!take("K")) {
                return needs("a number");
            }
            if (!ParseCount(value, 1, 1000000, o.canary)) {
                return fail("--canary: expected a number of coders >= 1, got '" + value + "'");
            }
        } else if (option == "--max-failures") {
            if (!take("N")) {
                return needs("a number");
            }
            if (!ParseCount(value, 1, 1000000, o.maxFailures)) {
                return fail("--max-failures: expected a number >= 1, got '" + value + "'");
            }
        } else if (option == "--skip-current") {
            o.skipCurrent = true;
        } else if (option == "--identify-only") {
            o.identifyOnly = true;
        } else if (option == "-y" || option == "--yes") {
            o.yes = true;
        } else if (option == "--json") {
            o.json = true;
        } else if (option == "--firmware-dir" || option == "--coder" || option == "--samples" ||
                   option == "--dsp") {
            if (!take("FILE") || value.empty()) {
                return needs(option == "--firmware-dir" ? "a folder" : "a file");
            }
            (option == "--firmware-dir" ? o.firmwareDirectory
             : option == "--coder"      ? o.coderFile
             : option == "--samples"    ? o.samplesFile
                                        : o.dspFile) = value;
        } else if (option == "--lang") {
            if (!take("LANG") || (value != "en" && value != "de")) {
                return fail("--lang: expected en or de");
            }
            o.language = value;
        } else if (!option.empty() && option[0] == '-' && option != "-") {
            return fail("unknown option '" + arguments[i] + "' for fleet");
        } else if (o.inventory.empty()) {
            o.inventory = option;
        } else {
            return fail("one inventory only; '" + option + "' is a second one");
        }
    }
    if (parsed.help) {
        parsed.ok = true;
        return parsed;
    }
    if (o.inventory.empty()) {
        return fail("fleet needs an inventory file (CSV: name,connection)");
    }
    if (o.skipCurrent && o.identifyOnly) {
        return fail("--skip-current and --identify-only exclude each other");
    }
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
