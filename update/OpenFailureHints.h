#pragma once

#include <string>

#include "transport/OpenFailure.h"
#include "update/ProcedureTexts.h"

// The words about a refused serial-device open that name the system's own tools and devices:
// groups, links and udev rules in update/posix, the Device Manager and COM numbers in
// update/win32. OpenFailureTexts says the rest the same on every system.

// The port as the user chose it: "COM5 (/dev/ttyUSB0)" for a COM number on Linux, where the
// number stands for a device; "COM5" on Windows, where it is the device's own name.
std::string DeviceTargetText(const OpenFailure& failure);

// Why a COM number's device could not be found (NoDevice).
std::string MissingComPortReason(const OpenFailure& failure, Language language);

// What to do about a refused open of a serial device (NoDevice, Permission, Busy,
// NotTerminal); empty for the other kinds.
std::string DeviceOpenHint(const OpenFailure& failure, Language language);
