#pragma once

#include <windows.h>

#include <string>

#include "wizard/WizardState.h"

// A sign of life under a page's status while the procedure waits for the device: a busy bar
// and what it waits for, as the wizard's state says; the sheet's timer makes the logic count
// down.
class CWaitLine {
public:
    void Attach(HWND bar, HWND text);
    void Apply(const WaitLineState& state);
    bool Shown() const;
    std::string Text() const;

private:
    HWND bar_ = nullptr;
    HWND text_ = nullptr;
};
