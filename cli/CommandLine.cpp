#include "cli/CommandLine.h"

#include <cctype>

#include "transport/SerialPorts.h"
#include "transport/TCP_ConnectionParams.h"

namespace {

// Digits only, no sign, no blanks, within [low, high].
bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    value = std::stol(text);
    return value >= low && value <= high;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

bool ParseSerialPort(const std::string& text, ConnectionChoice& choice, std::string& error) {
    choice.connectionType = kConnectionTypeSerial;
    if (text.find('/') != std::string::npos) {
        choice.serialDevice = text;
        choice.serialPort = 0;
        return true;
    }
    std::string number = text;
    if (Upper(text).rfind("COM", 0) == 0) {
        number = text.substr(3);
    }
    long value = 0;
    if (!ParseNumber(number, kFirstComPort, 65535, value)) {
        error = "invalid serial port '" + text +
                "': use a COM number such as 7 or COM7, or a device path";
        return false;
    }
    choice.serialPort = static_cast<uint16_t>(value);
    choice.serialDevice.clear();
    return true;
}

bool ParseTcpTarget(const std::string& text, ConnectionChoice& choice, std::string& error) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        error = "invalid TCP target '" + text + "': use HOST:PORT, for example 127.0.0.1:7000";
        return false;
    }
    const std::string host = text.substr(0, colon);
    if (host.size() > TCP_ConnectionParams::kMaxHostLength) {
        error = "invalid TCP target: the host name is longer than 511 characters";
        return false;
    }
    for (char c : host) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ':') {
            error = "invalid TCP target '" + text + "': the host may hold no blanks or colons";
            return false;
        }
    }
    long port = 0;
    if (!ParseNumber(text.substr(colon + 1), 1, 65535, port)) {
        error = "invalid TCP port in '" + text + "': use a number from 1 to 65535";
        return false;
    }
    choice.connectionType = kConnectionTypeTcp;
    choice.tcpAddress = host;
    choice.tcpPort = static_cast<uint16_t>(port);
    return true;
}

std::string UsageText() {
    return "usage: tarvelin-cli identify (--serial PORT | --tcp HOST:PORT) [--firmware-dir DIR]\n"
           "                            [--log FILE] [--lang en|de] [--json]\n"
           "       tarvelin-cli update   (--serial PORT | --tcp HOST:PORT) [--firmware-dir DIR]\n"
           "                            [--log FILE] [--lang en|de] [--json] [--yes]\n"
           "PORT is a COM number (7 or COM7) or a device path such as /dev/ttyUSB0.\n";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
    if (arguments.empty()) {
        parsed.error = "missing command (identify or update)";
        return parsed;
    }
    const std::string& command = arguments[0];
    if (command == "identify") {
        options.command = CliOptions::Command::Identify;
    } else if (command == "update") {
        options.command = CliOptions::Command::Update;
    } else if (command == "--help" || command == "-h" || command == "help") {
        options.command = CliOptions::Command::Help;
        parsed.ok = true;
        return parsed;
    } else {
        parsed.error = "unknown command '" + command + "' (use identify or update)";
        return parsed;
    }

    bool haveTarget = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= arguments.size()) {
                parsed.error = "option " + option + " needs a value";
                return false;
            }
            out = arguments[++i];
            return true;
        };
        std::string text;
        if (option == "--serial" || option == "--tcp") {
            if (haveTarget) {
                parsed.error = "give exactly one of --serial and --tcp";
                return parsed;
            }
            if (!value(text)) {
                return parsed;
            }
            const bool ok = option == "--serial"
                                ? ParseSerialPort(text, options.choice, parsed.error)
                                : ParseTcpTarget(text, options.choice, parsed.error);
            if (!ok) {
                return parsed;
            }
            haveTarget = true;
        } else if (option == "--firmware-dir") {
            if (!value(options.firmwareDirectory)) {
                return parsed;
            }
            if (options.firmwareDirectory.empty()) {
                parsed.error = "--firmware-dir needs a directory";
                return parsed;
            }
            if (options.firmwareDirectory.back() != '/') {
                options.firmwareDirectory += '/';
            }
        } else if (option == "--log") {
            if (!value(options.logPath)) {
                return parsed;
            }
            if (options.logPath.empty()) {
                parsed.error = "--log needs a file name";
                return parsed;
            }
        } else if (option == "--lang") {
            if (!value(text)) {
                return parsed;
            }
            if (text == "en") {
                options.language = Language::English;
            } else if (text == "de") {
                options.language = Language::German;
            } else {
                parsed.error = "unknown language '" + text + "' (use en or de)";
                return parsed;
            }
        } else if (option == "--json") {
            options.json = true;
        } else if (option == "--yes" && options.command == CliOptions::Command::Update) {
            options.yes = true;
        } else {
            parsed.error = "unknown option '" + option + "'";
            return parsed;
        }
    }
    if (!haveTarget) {
        parsed.error = "give one of --serial PORT and --tcp HOST:PORT";
        return parsed;
    }
    parsed.ok = true;
    return parsed;
}
