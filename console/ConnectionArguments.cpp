#include "console/ConnectionArguments.h"

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
