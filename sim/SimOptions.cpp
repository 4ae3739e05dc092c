#include "sim/SimOptions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace {

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

bool ParseDouble(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    size_t used = 0;
    try {
        value = std::stod(text, &used);
    } catch (...) {
        return false;
    }
    return used == text.size() && std::isfinite(value);
}

// Bytes above 0x7F pass: a coder may answer any bytes, and the updater must cope with them.
bool Printable(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

constexpr int64_t kMaxBlock = std::numeric_limits<int32_t>::max();

// Options that take a value; a value may start with "K@" to apply to coder K only.
bool TakesValue(const std::string& name) {
    static const char* const kNames[] = {
        "--tcp",       "--link",     "--state",         "--firmware-version", "--bios-version",
        "--main-port", "--baud",     "--transfer-mode", "--time-scale",       "--erase-ms",
        "--nack",      "--lose-ack", "--bad-crc",       "--drop-after",       "--slow-ms",
        "--judge-ms",  "--dump",     "--dump-raw",      "--erase-nack",       "--refuse-from",
        "--coders"};
    for (const char* known : kNames) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

// Options of the whole run: they cannot name a coder.
bool RunWide(const std::string& name) {
    return name == "--tcp" || name == "--serial" || name == "--link" || name == "--dump" ||
           name == "--dump-raw" || name == "--coders" || name == "--help" || name == "-h" ||
           name == "--version";
}

// Applies one option (its value already split from a coder prefix) to `o`; the reason when
// the value is bad.
std::optional<std::string> Apply(const std::string& name, const std::string& v, SimOptions& o) {
    int64_t n = 0;
    auto bad = [&](const std::string& expected) {
        return name + ": expected " + expected + ", got '" + v + "'";
    };
    if (name == "--tcp") {
        if (!ParseInt(v, 0, 65535, n)) {
            return "--tcp: port must be 0 to 65535, got '" + v + "'";
        }
        o.tcpPort = static_cast<uint16_t>(n);
    } else if (name == "--serial") {
        o.serial = true;
    } else if (name == "--link") {
        if (v.size() < 4 || v.compare(0, 3, "COM") != 0 || !ParseInt(v.substr(3), 1, 255, n)) {
            return bad("COMn with n from 1 to 255");
        }
        o.link = v;
    } else if (name == "--state") {
        if (v == "firmware") {
            o.state = SimOptions::StartState::Firmware;
        } else if (v == "bios") {
            o.state = SimOptions::StartState::Bios;
        } else if (v == "off") {
            o.state = SimOptions::StartState::Off;
        } else {
            return bad("firmware, bios or off");
        }
    } else if (name == "--firmware-version") {
        if (v.empty() || v.size() > 16 || !Printable(v)) {
            return bad("1 to 16 printable characters");
        }
        o.version = v;
    } else if (name == "--bios-version") {
        if (v == "none") {
            o.biosVersion.reset();
        } else if (v.size() != 4 || !Printable(v)) {
            return bad("exactly 4 printable characters or none");
        } else {
            o.biosVersion = v;
        }
    } else if (name == "--main-port") {
        if (v == "none") {
            o.mainPort.reset();
        } else if (!ParseInt(v, 0, 65535, n)) {
            return bad("0 to 65535 or none");
        } else {
            o.mainPort = static_cast<uint16_t>(n);
        }
    } else if (name == "--baud") {
        if (!ParseInt(v, 50, 4000000, n)) {
            return bad("a rate from 50 to 4000000");
        }
        o.baud = static_cast<uint32_t>(n);
    } else if (name == "--transfer-mode") {
        if (!ParseInt(v, 0, 1, n)) {
            return bad("0 or 1");
        }
        o.transferMode = static_cast<uint8_t>(n);
    } else if (name == "--old-netpc") {
        o.oldNetPc = true;
    } else if (name == "--pace") {
        o.pace = true;
    } else if (name == "--judge-ms") {
        if (!ParseInt(v, 0, 10000, n)) {
            return bad("0 to 10000");
        }
        o.judgeMs = static_cast<int32_t>(n);
    } else if (name == "--time-scale") {
        double f = 0;
        if (!ParseDouble(v, f) || f < 0 || f > 100) {
            return bad("a factor from 0 to 100");
        }
        o.timeScale = f;
    } else if (name == "--erase-ms") {
        if (!ParseInt(v, 0, 9000, n)) {
            return bad("0 to 9000");
        }
        o.eraseMs = static_cast<int32_t>(n);
    } else if (name == "--stay-in-bios") {
        o.stayInBios = true;
    } else if (name == "--nack") {
        const auto parts = Split(v, ':');
        SimOptions::NackFault fault;
        int64_t code = 0;
        int64_t times = -1;
        if (parts.size() < 2 || parts.size() > 3 ||
            !ParseInt(parts[0], 0, kMaxBlock, fault.block) || !ParseInt(parts[1], 1, 255, code) ||
            (parts.size() == 3 && !ParseInt(parts[2], 1, kMaxBlock, times))) {
            return bad("[K@]BLOCK:CODE[:TIMES] (CODE 1 to 255, TIMES >= 1)");
        }
        fault.code = static_cast<uint8_t>(code);
        fault.times = static_cast<int32_t>(times);
        o.nacks.push_back(fault);
    } else if (name == "--lose-ack" || name == "--bad-crc" || name == "--drop-after") {
        if (!ParseInt(v, 0, kMaxBlock, n)) {
            return bad("a block number >= 0");
        }
        if (name == "--lose-ack") {
            o.loseAcks.push_back(n);
        } else if (name == "--bad-crc") {
            o.badCrcs.push_back(n);
        } else {
            o.dropAfter = n;
        }
    } else if (name == "--erase-nack") {
        const auto parts = Split(v, ':');
        int64_t region = 0;
        int64_t code = 0;
        if (parts.size() != 2 || !ParseInt(parts[0], 0, 2, region) ||
            !ParseInt(parts[1], 1, 255, code)) {
            return bad("[K@]REGION:CODE (REGION 0 to 2, CODE 1 to 255)");
        }
        o.eraseNacks.push_back({static_cast<uint8_t>(region), static_cast<uint8_t>(code)});
    } else if (name == "--refuse-from") {
        if (!ParseInt(v, 2, kMaxBlock, n)) {
            return bad("a connection number >= 2");
        }
        o.refuseFrom = n;
    } else if (name == "--noise") {
        o.noise = true;
    } else if (name == "--no-finish-ack") {
        o.noFinishAck = true;
    } else if (name == "--no-reconnect") {
        o.noReconnect = true;
    } else if (name == "--slow-ms") {
        if (!ParseInt(v, 0, 60000, n)) {
            return bad("0 to 60000");
        }
        o.slowMs = static_cast<int32_t>(n);
    } else if (name == "--dump") {
        o.dumpFile = v;
    } else if (name == "--dump-raw") {
        o.dumpRawDir = v;
    } else if (name == "--coders" || name == "--help" || name == "-h" || name == "--version") {
        // taken by the first pass
    } else {
        return "unknown option '" + name + "'";
    }
    return std::nullopt;
}

// One option word as given: its name, the coder it names (0: every coder) and its value.
struct Word {
    std::string name;
    int64_t coder = 0;
    std::string value;
    std::string given;  // the option as written, for messages
};

// Splits "K@VALUE" (or "--flag@K") off; false with a reason when K is not a coder number.
bool SplitCoder(const std::string& text, bool prefix, std::string& rest, int64_t& coder,
                std::string& error) {
    const size_t at = text.find('@');
    if (at == std::string::npos) {
        rest = text;
        coder = 0;
        return true;
    }
    const std::string number = prefix ? text.substr(0, at) : text.substr(at + 1);
    rest = prefix ? text.substr(at + 1) : text.substr(0, at);
    if (prefix && (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)) {
        // Not a coder prefix: an '@' inside a value such as a version text.
        rest = text;
        coder = 0;
        return true;
    }
    if (!ParseInt(number, 1, kMaxSimCoders, coder)) {
        error = "'" + text + "': the coder number after '@' must be 1 to " +
                std::to_string(kMaxSimCoders);
        return false;
    }
    return true;
}

}  // namespace

std::string SimVersionLine() {
    return std::string("tarvelin-sim (Tarvelin) ") + TARVELIN_SIM_VERSION;
}

std::string SimHelp() {
    return "Usage: tarvelin-sim [--tcp PORT] [--serial [--link COMn]] [--coders N] [OPTION]...\n"
           "Simulate T1x RDS coders (firmware, BIOS with its flash, and the NetPC front-end) for\n"
           "the Tarvelin updater, over loopback TCP/IP and/or pseudo-terminals.\n"
           "\n"
           "Prints one line per connection (tcp 127.0.0.1:PORT, serial /dev/pts/N, link PATH),\n"
           "then ready, and runs until SIGINT or SIGTERM. SIGUSR1 writes the dumps.\n"
           "\n"
           "Connections (at least one of --tcp and --serial):\n"
           "  --tcp PORT              listen on 127.0.0.1:PORT; 0 picks a free port\n"
           "  --serial                create a pseudo-terminal; the coder answers only at the\n"
           "                          line speed the client set on it\n"
           "  --link COMn             with --serial: link COMn in ~/.config/Orvane/ports/ to the\n"
           "                          pseudo-terminal, removed on exit\n"
           "  --coders N              serve N independent coders (1 to 512, default 1), each with\n"
           "                          its own NetPC, flash and state: on N consecutive ports from\n"
           "                          PORT (0: the first free run of N), on N pseudo-terminals,\n"
           "                          linked as COMn to COMn+N-1\n"
           "\n"
           "Device:\n"
           "  --state firmware|bios|off  what the coder runs at start (firmware); off: the\n"
           "                          coder never answers, the NetPC still does\n"
           "  --firmware-version TEXT  firmware version answered to 0x7E, 1 to 16\n"
           "                          characters (V2.15)\n"
           "  --bios-version TEXT|none  BIOS version, 4 characters (2.10); none: 0x87 unanswered\n"
           "  --main-port N|none      main TCP port answered to 0xCE (4001); none: unanswered\n"
           "  --baud N                the firmware's serial rate (9600); the BIOS uses 115200\n"
           "  --transfer-mode 0|1     the NetPC's transfer mode at start (0)\n"
           "  --old-netpc             the NetPC ignores the transfer-mode commands\n"
           "  --pace                  with --serial: 10 bit times per byte at the client's rate\n"
           "  --judge-ms N            with --serial: judge each frame (read the client's rate)\n"
           "                          N ms after its bytes arrived (0)\n"
           "\n"
           "Timing:\n"
           "  --time-scale F          multiply every device delay (reboots, erase); 0 = none (1)\n"
           "  --erase-ms N            erase time per region, 0 to 9000 (300)\n"
           "  --stay-in-bios          after the finish command restart into the BIOS again\n"
           "  --slow-ms N             every answer leaves N ms later, not scaled (0)\n"
           "\n"
           "Faults (repeatable where they name a block):\n"
           "  --nack BLOCK:CODE[:TIMES]  acknowledge write-block BLOCK (from 0) with CODE for its\n"
           "                          first TIMES attempts (default: every attempt)\n"
           "  --lose-ack BLOCK        no acknowledgement for the first attempt of BLOCK\n"
           "  --bad-crc BLOCK         a broken CRC on the first acknowledgement of BLOCK\n"
           "  --noise                 garbage bytes before every answer frame\n"
           "  --no-finish-ack         the finish command restarts without acknowledgement\n"
           "  --drop-after BLOCK      after BLOCK written blocks drop the connection, once\n"
           "  --no-reconnect          after a finish command refuse new TCP connections\n"
           "  --refuse-from N         refuse TCP connection N and later ones (N >= 2)\n"
           "  --erase-nack REGION:CODE  acknowledge the erase of REGION (0 to 2) with CODE\n"
           "\n"
           "One coder of several: a value that starts with K@ applies to coder K alone (numbered\n"
           "from 1 in the order they are printed), e.g. --nack 3@40:17 or\n"
           "--firmware-version 2@V2.16; a flag names it after an @, e.g. --noise@3. Device,\n"
           "timing and fault options all take it; without it an option applies to every coder.\n"
           "\n"
           "Output:\n"
           "  --dump FILE             on exit and on SIGUSR1 write one line per flash region:\n"
           "                          region R start 0xADDR length N sha256 HEX; with several\n"
           "                          coders coder K writes FILE.K\n"
           "  --dump-raw DIR          write DIR/region0.bin to region2.bin, creating DIR and its\n"
           "                          parents at start; with several coders into DIR/K/\n"
           "  -h, --help              print this help and exit\n"
           "  --version               print the program's version and exit\n"
           "\n"
           "Exit status: 0 after SIGINT or SIGTERM, 64 for a bad command line, 1 when it cannot\n"
           "start (port in use, no pseudo-terminal, a dump folder it cannot create) or cannot\n"
           "write a dump; the system's reason follows the message.\n";
}

SimOptionsResult ParseSimOptions(const std::vector<std::string>& args) {
    SimOptionsResult result;
    auto fail = [&result](const std::string& message) {
        result.ok = false;
        result.error = message;
        result.coders.clear();
        return result;
    };

    // First pass: the words, the coder count, and whether only help or the version is asked.
    std::vector<Word> words;
    int64_t coderCount = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        Word word;
        word.given = args[i];
        std::string error;
        if (!SplitCoder(args[i], false, word.name, word.coder, error)) {
            return fail(error);
        }
        if (word.name == "--version" && word.coder == 0) {
            if (i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0) {
                return fail(
                    "--version takes no value; the firmware version the coder answers is "
                    "--firmware-version " +
                    args[i + 1]);
            }
            result.version = true;
        } else if ((word.name == "--help" || word.name == "-h") && word.coder == 0) {
            result.help = true;
        }
        if (TakesValue(word.name)) {
            if (word.coder != 0) {
                return fail("'" + args[i] + "': a coder is named in front of the value (" +
                            word.name + " K@VALUE)");
            }
            if (i + 1 >= args.size()) {
                return fail("option " + word.name + " needs a value");
            }
            if (!SplitCoder(args[++i], true, word.value, word.coder, error)) {
                return fail(word.name + ": " + error);
            }
        }
        if (word.coder != 0 && RunWide(word.name)) {
            return fail(word.name + " applies to the whole run and cannot name a coder");
        }
        if (word.name == "--coders" && !ParseInt(word.value, 1, kMaxSimCoders, coderCount)) {
            return fail("--coders: expected 1 to " + std::to_string(kMaxSimCoders) + ", got '" +
                        word.value + "'");
        }
        words.push_back(std::move(word));
    }
    if (result.help || result.version) {
        result.ok = true;
        return result;
    }

    // Second pass: the options of each coder.
    for (int64_t coder = 1; coder <= coderCount; ++coder) {
        SimOptions o;
        for (const Word& word : words) {
            if (word.coder > coderCount) {
                return fail(word.name + ": coder " + std::to_string(word.coder) +
                            " does not exist; --coders " + std::to_string(coderCount) +
                            " numbers them 1 to " + std::to_string(coderCount));
            }
            if (word.coder != 0 && word.coder != coder) {
                continue;
            }
            if (const auto error = Apply(word.name, word.value, o)) {
                return fail(*error);
            }
        }
        if (!o.tcpPort && !o.serial) {
            return fail("nothing to serve: give --tcp PORT and/or --serial");
        }
        if (!o.link.empty() && !o.serial) {
            return fail("--link needs --serial");
        }
        if (o.refuseFrom && !o.tcpPort) {
            return fail("--refuse-from needs --tcp");
        }
        if ((o.pace || o.judgeMs > 0) && !o.serial) {
            return fail(std::string(o.pace ? "--pace" : "--judge-ms") + " needs --serial");
        }
        if (o.tcpPort && *o.tcpPort != 0 && *o.tcpPort + coderCount - 1 > 65535) {
            return fail("--tcp " + std::to_string(*o.tcpPort) + " with --coders " +
                        std::to_string(coderCount) + " runs past port 65535");
        }
        if (!o.link.empty() && std::stoi(o.link.substr(3)) + coderCount - 1 > 255) {
            return fail("--link " + o.link + " with --coders " + std::to_string(coderCount) +
                        " runs past COM255");
        }
        result.coders.push_back(std::move(o));
    }
    result.options = result.coders.front();
    result.ok = true;
    return result;
}
