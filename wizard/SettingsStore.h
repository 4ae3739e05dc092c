#pragma once

#include <cstdint>
#include <string>

#include "update/Settings.h"

// The per-user values the wizard reads and writes, section "Settings" (names in
// update/Settings.h). A front end may keep them through its toolkit; tests keep them in memory.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual int32_t ReadInt(const std::string& name, int32_t fallback) = 0;
    virtual std::string ReadString(const std::string& name, const std::string& fallback) = 0;
    // Results are not looked at: the wizard goes on without its settings.
    virtual void WriteInt(const std::string& name, int32_t value) = 0;
    virtual void WriteString(const std::string& name, const std::string& value) = 0;
};

// Over update/Settings: the registry on Windows, the QSettings file on Linux.
class SystemSettingsStore : public SettingsStore {
public:
    explicit SystemSettingsStore(std::string application = ProgramApplicationName())
        : settings_(std::move(application)) {}
    int32_t ReadInt(const std::string& name, int32_t fallback) override {
        return settings_.ReadInt(name, fallback);
    }
    std::string ReadString(const std::string& name, const std::string& fallback) override {
        return settings_.ReadString(name, fallback);
    }
    void WriteInt(const std::string& name, int32_t value) override {
        std::string error;
        settings_.WriteInt(name, value, error);
    }
    void WriteString(const std::string& name, const std::string& value) override {
        std::string error;
        settings_.WriteString(name, value, error);
    }

private:
    Settings settings_;
};
