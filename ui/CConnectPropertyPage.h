#pragma once

#include <QWizardPage>
#include <cstdint>

#include "update/ProcedureTexts.h"

class CMaskEdit;
class CUpdaterPropertySheet;
class CXColorStatic;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSettings;

// The number formed by the decimal digits at the start of `text` (after leading blanks), 0
// when there are none; saturates at INT64_MAX instead of wrapping.
int64_t LeadingNumber(const QString& text);

// Page 1: serial port or NetPC address. Holds the user's choice in its four fields; reads them
// from the settings once, at construction, and writes them when the page is left with Next.
class CConnectPropertyPage : public QWizardPage {
    Q_OBJECT
public:
    CConnectPropertyPage(Language language, QWidget* parent = nullptr);

    void OnSetActive();
    // Stores the choice; never refuses.
    bool OnKillActive();
    bool validatePage() override { return OnKillActive(); }

    void FillComPortList(int portToSelect);
    void UpdateControls();

    // Whether Next may be pressed with what the page shows now.
    bool NextAllowed() const;

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

    int32_t connectionType = 0;
    int32_t serialPort = 1;
    QString tcpAddress;
    int32_t tcpPort = 0;

signals:
    // Something that decides Next changed.
    void ChoiceEdited();

private:
    void UpdatePortHint();
    void OnSerialClicked();
    void OnTcpClicked();

    Language language_;
};
