#include "transport/ManualResetEvent.h"

#include <cstdlib>

#include "transport/win32/Handles.h"

ManualResetEvent::ManualResetEvent()
    : handle_(AsNative(CreateEventW(nullptr, TRUE, FALSE, nullptr))) {
    if (handle_ == kInvalidHandle) {
        std::abort();  // out of handles at construction: nothing sane to wait on
    }
}

ManualResetEvent::~ManualResetEvent() {
    CloseHandle(AsHandle(handle_));
}

void ManualResetEvent::Set() {
    SetEvent(AsHandle(handle_));
}

void ManualResetEvent::Reset() {
    ResetEvent(AsHandle(handle_));
}

bool ManualResetEvent::IsSet() const {
    return Wait(0);
}

bool ManualResetEvent::Wait(int32_t timeoutMs) const {
    const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return WaitForSingleObject(AsHandle(handle_), limit) == WAIT_OBJECT_0;
}
