#pragma once

#include <windows.h>

#include "transport/NativeHandle.h"

// A HANDLE kept as a NativeHandle and back. Calls that fail with a null handle (CreateEventW)
// and those that fail with INVALID_HANDLE_VALUE (CreateFileW) both become kInvalidHandle.
inline HANDLE AsHandle(NativeHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

inline NativeHandle AsNative(HANDLE handle) {
    return handle == nullptr ? kInvalidHandle : reinterpret_cast<NativeHandle>(handle);
}
