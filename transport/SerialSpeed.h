#pragma once

#include <cstdint>

// The system's speed value for `baud` as the serial device takes it (a termios constant on
// POSIX, the rate itself on Windows); 0 when the system has none for that rate.
uint32_t SerialSpeedFor(int32_t baud);
