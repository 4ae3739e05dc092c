#pragma once

#include <cstdint>

#include "transport/MessageWindow.h"

class IOFrameLog;

// Posted once per queued frame; lParam is the direction (0 received, 1 sent).
constexpr uint32_t kLogFrameMessage = 0x465;  // WM_USER + 101

// The hidden window of one frame log: each kLogFrameMessage writes the next frame of its
// direction, on the window's thread.
class IOLogMsgWnd : public MessageWindow {
public:
    explicit IOLogMsgWnd(IOFrameLog* logOwner) : owner(logOwner) {}

    intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    IOFrameLog* owner;
};
