#pragma once

#include "ui-win32/CPropertyPage.h"
#include "ui-win32/CWaitLine.h"
#include "ui-win32/CXColorStatic.h"

// Page 3: the flash run, drawn from the Update page's state; after a failure it offers the log.
class CUpdatePropertyPage : public CPropertyPage {
public:
    explicit CUpdatePropertyPage(Language language);

    void Render(const UpdatePageState& state);
    HWND Progress() const;

    CXColorStatic status;       // 1013
    CXColorStatic detail;       // 1017
    CXColorStatic stage1;       // 1010
    CXColorStatic stage2;       // 1009
    CXColorStatic stage3;       // 1011
    CXColorStatic newVersion;   // 1019
    CXColorStatic failureNote;  // what a failure left on the coder and what to do now
    CXColorStatic noLogNote;    // in place of "Show log file..." when no log could be written
    CXColorStatic closeNote;
    CWaitLine waitLine;

protected:
    void OnInitDialog() override;
    DWORD ShownButtons() const override { return 0; }
    void OnCommand(int id, int code) override;

private:
    int rangeMinimum_ = 0;
    int rangeMaximum_ = 100;
};
