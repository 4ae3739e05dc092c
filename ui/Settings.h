#pragma once

#include <QCoreApplication>
#include <QSettings>

#include "update/Settings.h"

// The per-user connection choice and the firmware folder: native format, organisation "Orvane",
// application = the executable's base name, group "Settings" (the names in update/Settings.h,
// whose store reads and writes the same values without Qt).

// The application name is the executable's base name unless the application set another.
inline QSettings OpenSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                     QCoreApplication::applicationName());
}
