#pragma once

#include <cstdint>

// What the system hands out for an open device, socket or event: a descriptor on POSIX, a
// HANDLE or SOCKET on Windows. Both fit, and both systems' "no handle" is -1
// (INVALID_HANDLE_VALUE, INVALID_SOCKET).
using NativeHandle = std::intptr_t;
constexpr NativeHandle kInvalidHandle = -1;
