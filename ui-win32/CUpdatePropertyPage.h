#pragma once

#include "ui-win32/CPropertyPage.h"
#include "ui-win32/CWaitLine.h"
#include "ui-win32/CXColorStatic.h"

// Page 3: the flash run. Resets itself on every showing and hands over to the sheet, which
// fills it as the flash sequence reports; after a failure it offers the log.
class CUpdatePropertyPage : public CPropertyPage {
public:
    explicit CUpdatePropertyPage(Language language);

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
    void OnSetActive() override;
    LRESULT OnWizardBack() override;
    void OnCommand(int id, int code) override;
    void OnTimer(UINT_PTR id) override;
};
