#include "console/ConsoleInput.h"

#include <windows.h>

#include <thread>
#include <vector>

namespace {

HANDLE Input() {
    return GetStdHandle(STD_INPUT_HANDLE);
}

// Whether the console's waiting events hold a pressed Enter: only then does a line read
// return.
bool EnterWaits(HANDLE input) {
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(input, &count) || count == 0) {
        return false;
    }
    std::vector<INPUT_RECORD> events(count);
    DWORD read = 0;
    if (!PeekConsoleInputW(input, events.data(), count, &read)) {
        return false;
    }
    for (DWORD i = 0; i < read; ++i) {
        const INPUT_RECORD& event = events[i];
        if (event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown &&
            event.Event.KeyEvent.wVirtualKeyCode == VK_RETURN) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool StandardInputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(Input(), &mode) != 0;
}

// The console's input handle is signalled by every event (a key, the mouse, a resize), not by
// a whole line as a POSIX terminal is: without an Enter the events stay for the line read, and
// the rest of the bound is waited out instead of spinning on them.
bool WaitStandardInputLine(std::chrono::milliseconds bound) {
    const HANDLE input = Input();
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode)) {
        return WaitForSingleObject(input, static_cast<DWORD>(bound.count())) == WAIT_OBJECT_0;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    if (WaitForSingleObject(input, static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) {
        return false;
    }
    if (EnterWaits(input)) {
        return true;
    }
    std::this_thread::sleep_until(deadline);
    return EnterWaits(input);
}
