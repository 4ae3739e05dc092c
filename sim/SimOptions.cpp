#include "sim/SimOptions.h"

#include <charconv>
#include <cmath>
#include <limits>

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

}  // namespace

std::string SimUsage() {
    return "usage: tarvelin-sim [--tcp PORT] [--serial [--link COMn] [--pace]] [options]\n"
           "  device:  --state firmware|bios  --version TEXT  --bios-version TEXT|none\n"
           "           --main-port N|none  --baud N  --transfer-mode 0|1  --old-netpc\n"
           "  timing:  --time-scale F  --erase-ms N  --stay-in-bios  --slow-ms N  --judge-ms N\n"
           "  faults:  --nack BLOCK:CODE[:TIMES]  --lose-ack BLOCK  --bad-crc BLOCK  --noise\n"
           "           --no-finish-ack  --drop-after BLOCK  --no-reconnect\n"
           "           --erase-nack REGION:CODE  --refuse-from CONNECTION\n"
           "  output:  --dump FILE  --dump-raw DIR\n"
           "At least one of --tcp and --serial is required.\n";
}

SimOptionsResult ParseSimOptions(const std::vector<std::string>& args) {
    SimOptionsResult result;
    SimOptions& o = result.options;
    auto fail = [&result](const std::string& message) {
        result.ok = false;
        result.error = message;
        return result;
    };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        const bool hasValue = i + 1 < args.size();
        // Every option with a value reads it through here, so a missing value is one message.
        auto value = [&]() -> const std::string& { return args[++i]; };
        auto needsValue = [&]() {
            return name == "--tcp" || name == "--link" || name == "--state" ||
                   name == "--version" || name == "--bios-version" || name == "--main-port" ||
                   name == "--baud" || name == "--transfer-mode" || name == "--time-scale" ||
                   name == "--erase-ms" || name == "--nack" || name == "--lose-ack" ||
                   name == "--bad-crc" || name == "--drop-after" || name == "--slow-ms" ||
                   name == "--judge-ms" || name == "--dump" || name == "--dump-raw" ||
                   name == "--erase-nack" || name == "--refuse-from";
        };
        if (needsValue() && !hasValue) {
            return fail("option " + name + " needs a value");
        }
        int64_t n = 0;
        if (name == "--help" || name == "-h") {
            result.help = true;
        } else if (name == "--tcp") {
            if (!ParseInt(value(), 0, 65535, n)) {
                return fail("--tcp: port must be 0 to 65535, got '" + args[i] + "'");
            }
            o.tcpPort = static_cast<uint16_t>(n);
        } else if (name == "--serial") {
            o.serial = true;
        } else if (name == "--link") {
            const std::string& v = value();
            if (v.size() < 4 || v.compare(0, 3, "COM") != 0 || !ParseInt(v.substr(3), 1, 255, n)) {
                return fail("--link: expected COMn with n from 1 to 255, got '" + v + "'");
            }
            o.link = v;
        } else if (name == "--state") {
            const std::string& v = value();
            if (v == "firmware") {
                o.state = SimOptions::StartState::Firmware;
            } else if (v == "bios") {
                o.state = SimOptions::StartState::Bios;
            } else {
                return fail("--state: expected firmware or bios, got '" + v + "'");
            }
        } else if (name == "--version") {
            const std::string& v = value();
            if (v.empty() || v.size() > 16 || !Printable(v)) {
                return fail("--version: 1 to 16 printable characters, got '" + v + "'");
            }
            o.version = v;
        } else if (name == "--bios-version") {
            const std::string& v = value();
            if (v == "none") {
                o.biosVersion.reset();
            } else if (v.size() != 4 || !Printable(v)) {
                return fail("--bios-version: exactly 4 printable characters or none, got '" + v +
                            "'");
            } else {
                o.biosVersion = v;
            }
        } else if (name == "--main-port") {
            const std::string& v = value();
            if (v == "none") {
                o.mainPort.reset();
            } else if (!ParseInt(v, 0, 65535, n)) {
                return fail("--main-port: expected 0 to 65535 or none, got '" + v + "'");
            } else {
                o.mainPort = static_cast<uint16_t>(n);
            }
        } else if (name == "--baud") {
            if (!ParseInt(value(), 50, 4000000, n)) {
                return fail("--baud: expected a rate from 50 to 4000000, got '" + args[i] + "'");
            }
            o.baud = static_cast<uint32_t>(n);
        } else if (name == "--transfer-mode") {
            if (!ParseInt(value(), 0, 1, n)) {
                return fail("--transfer-mode: expected 0 or 1, got '" + args[i] + "'");
            }
            o.transferMode = static_cast<uint8_t>(n);
        } else if (name == "--old-netpc") {
            o.oldNetPc = true;
        } else if (name == "--pace") {
            o.pace = true;
        } else if (name == "--judge-ms") {
            if (!ParseInt(value(), 0, 10000, n)) {
                return fail("--judge-ms: expected 0 to 10000, got '" + args[i] + "'");
            }
            o.judgeMs = static_cast<int32_t>(n);
        } else if (name == "--time-scale") {
            double f = 0;
            if (!ParseDouble(value(), f) || f < 0 || f > 100) {
                return fail("--time-scale: expected a factor from 0 to 100, got '" + args[i] + "'");
            }
            o.timeScale = f;
        } else if (name == "--erase-ms") {
            if (!ParseInt(value(), 0, 9000, n)) {
                return fail("--erase-ms: expected 0 to 9000, got '" + args[i] + "'");
            }
            o.eraseMs = static_cast<int32_t>(n);
        } else if (name == "--stay-in-bios") {
            o.stayInBios = true;
        } else if (name == "--nack") {
            const std::string& v = value();
            const auto parts = Split(v, ':');
            SimOptions::NackFault fault;
            int64_t code = 0;
            int64_t times = -1;
            if (parts.size() < 2 || parts.size() > 3 ||
                !ParseInt(parts[0], 0, kMaxBlock, fault.block) ||
                !ParseInt(parts[1], 1, 255, code) ||
                (parts.size() == 3 && !ParseInt(parts[2], 1, kMaxBlock, times))) {
                return fail(
                    "--nack: expected BLOCK:CODE[:TIMES] (CODE 1 to 255, TIMES >= 1), got '" + v +
                    "'");
            }
            fault.code = static_cast<uint8_t>(code);
            fault.times = static_cast<int32_t>(times);
            o.nacks.push_back(fault);
        } else if (name == "--lose-ack" || name == "--bad-crc" || name == "--drop-after") {
            if (!ParseInt(value(), 0, kMaxBlock, n)) {
                return fail(name + ": expected a block number >= 0, got '" + args[i] + "'");
            }
            if (name == "--lose-ack") {
                o.loseAcks.push_back(n);
            } else if (name == "--bad-crc") {
                o.badCrcs.push_back(n);
            } else {
                o.dropAfter = n;
            }
        } else if (name == "--erase-nack") {
            const std::string& v = value();
            const auto parts = Split(v, ':');
            int64_t region = 0;
            int64_t code = 0;
            if (parts.size() != 2 || !ParseInt(parts[0], 0, 2, region) ||
                !ParseInt(parts[1], 1, 255, code)) {
                return fail(
                    "--erase-nack: expected REGION:CODE (REGION 0 to 2, CODE 1 to 255), got '" + v +
                    "'");
            }
            o.eraseNacks.push_back({static_cast<uint8_t>(region), static_cast<uint8_t>(code)});
        } else if (name == "--refuse-from") {
            if (!ParseInt(value(), 2, kMaxBlock, n)) {
                return fail("--refuse-from: expected a connection number >= 2, got '" + args[i] +
                            "'");
            }
            o.refuseFrom = n;
        } else if (name == "--noise") {
            o.noise = true;
        } else if (name == "--no-finish-ack") {
            o.noFinishAck = true;
        } else if (name == "--no-reconnect") {
            o.noReconnect = true;
        } else if (name == "--slow-ms") {
            if (!ParseInt(value(), 0, 60000, n)) {
                return fail("--slow-ms: expected 0 to 60000, got '" + args[i] + "'");
            }
            o.slowMs = static_cast<int32_t>(n);
        } else if (name == "--dump") {
            o.dumpFile = value();
        } else if (name == "--dump-raw") {
            o.dumpRawDir = value();
        } else {
            return fail("unknown option '" + name + "'");
        }
    }
    if (result.help) {
        result.ok = true;
        return result;
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
    result.ok = true;
    return result;
}
