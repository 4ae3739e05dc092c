#include "update/ConnectionSettings.h"

ConnectionSettings LoadConnectionSettings(const Settings& settings) {
    ConnectionSettings choice;
    choice.serialPort = settings.ReadInt(kSerialPortValue, 1);
    choice.tcpAddress = settings.ReadString(kTcpAddressValue, "");
    choice.tcpPort = settings.ReadInt(kTcpPortValue, 0);
    choice.connectionType = settings.ReadInt(kConnectionTypeValue, 0);
    return choice;
}

bool StoreConnectionSettings(Settings& settings, const ConnectionSettings& choice,
                             std::string& error) {
    if (!settings.WriteInt(kConnectionTypeValue, choice.connectionType, error)) {
        return false;
    }
    if (choice.connectionType == 0) {
        return settings.WriteInt(kSerialPortValue, choice.serialPort, error);
    }
    return settings.WriteString(kTcpAddressValue, choice.tcpAddress, error) &&
           settings.WriteInt(kTcpPortValue, choice.tcpPort, error);
}
