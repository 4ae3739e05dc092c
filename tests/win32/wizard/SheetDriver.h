#pragma once

#include <windows.h>
#include <winsock2.h>

#include <commctrl.h>
#include <prsht.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "ui-win32/CUpdaterPropertySheet.h"
#include "ui-win32/CXColorStatic.h"
#include "update/FirmwareFiles.h"

// Drives the real wizard in this process as a user would, through the property sheet's own
// messages, and reads back what it shows.

// Runs the sheet's message loop until `done` holds, at most `timeoutMs`; false on time-out.
// What is queued goes first: a button press is posted, and what held before it says nothing.
inline bool Until(CUpdaterPropertySheet& sheet, const std::function<bool()>& done,
                  DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    if (!sheet.ProcessMessages(0)) {
        return done();
    }
    while (!done()) {
        if (GetTickCount64() >= end) {
            return false;
        }
        if (!sheet.ProcessMessages(20)) {
            return done();
        }
    }
    return true;
}

inline void Press(CUpdaterPropertySheet& sheet, int button) {
    PropSheet_PressButton(sheet.Handle(), button);
}

inline bool Enabled(CUpdaterPropertySheet& sheet, int id) {
    HWND button = sheet.Button(id);
    return IsWindowVisible(button) && IsWindowEnabled(button);
}

inline std::string TextOf(HWND control) {
    return WindowTextUtf8(control);
}

// The colour the page paints the control's text in, asked the way the control asks.
inline COLORREF TextColourOf(HWND control) {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(GetParent(control), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control));
    const COLORREF colour = GetTextColor(dc);
    DeleteDC(dc);
    return colour;
}

inline bool IsBold(HWND control) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    return font != nullptr && GetObjectW(font, sizeof(description), &description) != 0 &&
           description.lfWeight >= FW_BOLD;
}

// Red and bold, or black and normal, as the pages show failures and plain texts.
inline bool ErrorStyle(HWND control) {
    return TextColourOf(control) == RGB(255, 0, 0) && IsBold(control);
}
inline bool PlainStyle(HWND control) {
    return TextColourOf(control) == RGB(0, 0, 0) && !IsBold(control);
}

inline RECT PlaceOf(HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    return place;
}

inline std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// A loopback port nothing listens on: bound once by us, then let go.
inline uint16_t ClosedLoopbackPort() {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(s);
    return ntohs(address.sin_port);
}

// The discovery's boxes answered OK, counted.
struct OkAnswers : DiscoveryQuestions {
    void CoderFileMissing() override { ++missing; }
    bool ConfirmCoderOnly() override {
        ++coderOnly;
        return true;
    }
    int missing = 0;
    int coderOnly = 0;
};
