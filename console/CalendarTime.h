#pragma once

#include <ctime>

// The calendar fields of a moment, thread-safe on every system (std::localtime and
// std::gmtime share one buffer).
std::tm LocalCalendarTime(std::time_t moment);
std::tm UtcCalendarTime(std::time_t moment);
