#pragma once

#include <QCoreApplication>
#include <QSettings>

// The per-user connection choice and the firmware folder: native format, organisation "Orvane",
// application = the executable's base name, group "Settings".
constexpr const char* kSettingsOrganization = "Orvane";
constexpr const char* kSettingsGroup = "Settings";
constexpr const char* kConnectionTypeValue = "ConnectionType";
constexpr const char* kSerialPortValue = "SerialPort";
constexpr const char* kTcpAddressValue = "TcpAddress";
constexpr const char* kTcpPortValue = "TcpPort";
// The folder last chosen for the firmware files, where the chooser starts next time.
constexpr const char* kFirmwareFolderValue = "FirmwareFolder";

// The application name is the executable's base name unless the application set another.
inline QSettings OpenSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                     QCoreApplication::applicationName());
}
