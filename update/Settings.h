#pragma once

#include <cstdint>
#include <string>

// The names under which a program of the family keeps its per-user settings.
constexpr const char* kSettingsOrganization = "Orvane";
constexpr const char* kSettingsGroup = "Settings";
constexpr const char* kConnectionTypeValue = "ConnectionType";  // DWORD
constexpr const char* kSerialPortValue = "SerialPort";          // DWORD
constexpr const char* kTcpAddressValue = "TcpAddress";          // string
constexpr const char* kTcpPortValue = "TcpPort";                // DWORD
// The folder last chosen for the firmware files, where the chooser starts next time (string).
constexpr const char* kFirmwareFolderValue = "FirmwareFolder";

// The section "Settings" of one program's per-user settings, the program named by its
// executable's base name: on Windows the registry key
// HKEY_CURRENT_USER\Software\Orvane\<application>\Settings, with DWORD and string values; on
// Linux the file the Qt wizard's QSettings keeps, $XDG_CONFIG_HOME/Orvane/<application>.conf
// (default ~/.config/), group [Settings], so that each side reads what the other wrote.
class Settings {
public:
    explicit Settings(std::string application);

    const std::string& Application() const { return application_; }
    // Where the values lie, for a message: the registry key or the file.
    std::string Location() const;

    // The value, or `fallback` when it is absent or is no number (no text).
    int32_t ReadInt(const std::string& name, int32_t fallback) const;
    std::string ReadString(const std::string& name, const std::string& fallback) const;

    // False when the value could not be stored; `error` then holds the system's reason.
    bool WriteInt(const std::string& name, int32_t value, std::string& error);
    bool WriteString(const std::string& name, const std::string& value, std::string& error);

private:
    std::string application_;
};

// The base name of the running program file without its extension ("tarvelin" for
// tarvelin.exe): the application name the settings of this program are kept under.
std::string ProgramApplicationName();
