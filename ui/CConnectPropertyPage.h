#pragma once

#include <QWizardPage>
#include <memory>

#include "update/ProcedureTexts.h"
#include "wizard/ConnectPageLogic.h"

class CMaskEdit;
class CUpdaterPropertySheet;
class CXColorStatic;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QtSettingsStore;

// Page 1: serial port or NetPC address. A view of ConnectPageLogic, which holds the user's
// choice: the controls forward clicks and edits and show its state.
class CConnectPropertyPage : public QWizardPage {
    Q_OBJECT
public:
    // Without `logic` the page keeps a logic of its own over the wizard's settings.
    CConnectPropertyPage(Language language, ConnectPageLogic* logic = nullptr,
                         QWidget* parent = nullptr);
    ~CConnectPropertyPage() override;

    void OnSetActive();
    // Stores the choice; never refuses.
    bool OnKillActive();
    bool validatePage() override { return OnKillActive(); }
    void UpdateControls();

    ConnectPageLogic& Logic() { return *logic_; }
    // Shows the logic's state.
    void Bind();
    // No more events reach the logic (it goes before the controls do).
    void Unbind();

    CUpdaterPropertySheet* sheet = nullptr;

    QRadioButton* serialRadio;  // 1002
    QRadioButton* tcpRadio;     // 1004
    QComboBox* comPortList;     // 1003
    QLabel* addressLabel;       // 1007
    QLineEdit* addressEdit;     // 1005
    QLabel* portLabel;          // 1008
    CMaskEdit* portEdit;        // 1006
    CXColorStatic* portHint;    // beside the port: why a port is refused
    CXColorStatic* portsNote;   // below the list: ports present but not usable, and why

private:
    std::unique_ptr<QtSettingsStore> ownSettings_;
    std::unique_ptr<ConnectPageLogic> ownLogic_;
    ConnectPageLogic* logic_;
    int portListFills_ = -1;
};
