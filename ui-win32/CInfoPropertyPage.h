#pragma once

#include "ui-win32/CPropertyPage.h"
#include "ui-win32/CWaitLine.h"
#include "ui-win32/CXColorStatic.h"

// Page 2: what the identification found, drawn from the Info page's state.
class CInfoPropertyPage : public CPropertyPage {
public:
    explicit CInfoPropertyPage(Language language);

    void Render(const InfoPageState& state);

    CXColorStatic status;          // 1006
    CXColorStatic detail;          // 1007
    CXColorStatic hint;            // 1010
    CXColorStatic currentVersion;  // 1011
    CXColorStatic versionToFlash;  // 1012
    CXColorStatic closeNote;       // why a close request is refused while the worker runs
    CWaitLine waitLine;

protected:
    void OnInitDialog() override;
    DWORD ShownButtons() const override { return PSWIZB_BACK; }

private:
    RECT detailPlace_{};
    int extendedBottom_ = 0;
};
