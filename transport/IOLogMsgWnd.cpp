#include "transport/IOLogMsgWnd.h"

#include "transport/IOFrameLog.h"

intptr_t IOLogMsgWnd::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == kLogFrameMessage && owner != nullptr) {
        owner->DeliverNext(static_cast<int>(lParam));
    }
    return MessageWindow::WindowProc(message, wParam, lParam);
}
