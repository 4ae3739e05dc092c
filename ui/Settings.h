#pragma once

#include <QCoreApplication>
#include <QSettings>

#include "update/Settings.h"
#include "wizard/SettingsStore.h"

// The per-user connection choice and the firmware folder: native format, organisation "Orvane",
// application = the executable's base name, group "Settings" (the names in update/Settings.h,
// whose store reads and writes the same values without Qt).

// The application name is the executable's base name unless the application set another.
inline QSettings OpenSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                     QCoreApplication::applicationName());
}

// The wizard logic's settings through QSettings, so that they share its cache with whatever
// else in the program reads them through Qt.
class QtSettingsStore : public SettingsStore {
public:
    int32_t ReadInt(const std::string& name, int32_t fallback) override {
        return Group().value(QString::fromStdString(name), fallback).toInt();
    }
    std::string ReadString(const std::string& name, const std::string& fallback) override {
        return Group()
            .value(QString::fromStdString(name), QString::fromStdString(fallback))
            .toString()
            .toStdString();
    }
    void WriteInt(const std::string& name, int32_t value) override {
        Group().setValue(QString::fromStdString(name), value);
    }
    void WriteString(const std::string& name, const std::string& value) override {
        Group().setValue(QString::fromStdString(name), QString::fromStdString(value));
    }

private:
    struct Opened {
        QSettings settings = OpenSettings();
        Opened() { settings.beginGroup(kSettingsGroup); }
        QVariant value(const QString& name, const QVariant& fallback) {
            return settings.value(name, fallback);
        }
        void setValue(const QString& name, const QVariant& value) {
            settings.setValue(name, value);
        }
    };
    static Opened Group() { return Opened(); }
};
