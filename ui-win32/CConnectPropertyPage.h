#pragma once

#include "ui-win32/CMaskEdit.h"
#include "ui-win32/CPropertyPage.h"
#include "ui-win32/CXColorStatic.h"
#include "wizard/ConnectPageLogic.h"

// Page 1: serial port or NetPC address. Draws the Connect page's state and hands the user's
// clicks and edits to its logic, which keeps the choice and the settings.
class CConnectPropertyPage : public CPropertyPage {
public:
    explicit CConnectPropertyPage(Language language);

    void Bind(ConnectPageLogic& logic);
    void Render();

    CMaskEdit portEdit;       // 1006
    CXColorStatic portHint;   // beside the port: why a port is refused
    CXColorStatic portsNote;  // below the list: ports present but not usable, and why

protected:
    void OnInitDialog() override;
    DWORD ShownButtons() const override { return PSWIZB_NEXT; }
    void OnKillActive() override;
    void OnCommand(int id, int code) override;

private:
    ConnectPageLogic* logic_ = nullptr;
    int portListFills_ = -1;
};
