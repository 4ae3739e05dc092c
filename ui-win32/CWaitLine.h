#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "update/ProcedureTexts.h"

// A sign of life under a page's status while the procedure waits for the device: a busy bar
// and what it waits for, with the longest the wait may last counted down. The procedure says
// when a wait begins and ends; this line never guesses. The page passes its timer on.
class CWaitLine {
public:
    static constexpr UINT_PTR kTimerId = 0x7A17;

    explicit CWaitLine(Language language) : language_(language) {}

    void Attach(HWND page, HWND bar, HWND text);
    // A wait of this kind that lasts at most `maxMs`; kind 0 says the wait is over.
    void Wait(int64_t kind, int64_t maxMs);
    void Stop();
    void Tick();
    bool Waiting() const { return kind_ != 0; }
    std::string Text() const;

private:
    const Language language_;
    HWND page_ = nullptr;
    HWND bar_ = nullptr;
    HWND text_ = nullptr;
    int64_t kind_ = 0;
    int64_t maxMs_ = 0;
    ULONGLONG started_ = 0;
};
