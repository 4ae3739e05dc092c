#pragma once

#include "ui-win32/CPropertyPage.h"
#include "ui-win32/CWaitLine.h"
#include "ui-win32/CXColorStatic.h"

// Page 2: what the identification found. Resets itself on every showing and hands over to the
// sheet, which fills it as the identification reports.
class CInfoPropertyPage : public CPropertyPage {
public:
    explicit CInfoPropertyPage(Language language);

    // The detail over the place of the versions and the hint, for reasons below a refusal
    // (the versions are hidden then); back to its own size at the next showing.
    void ExtendDetail();

    CXColorStatic status;          // 1006
    CXColorStatic detail;          // 1007
    CXColorStatic hint;            // 1010
    CXColorStatic currentVersion;  // 1011
    CXColorStatic versionToFlash;  // 1012
    CXColorStatic closeNote;       // why a close request is refused while the worker runs
    CWaitLine waitLine;

protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void OnTimer(UINT_PTR id) override;

private:
    std::string instruction_;
    RECT detailPlace_{};
};
