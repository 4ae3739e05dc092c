#pragma once

#include <QWizardPage>

#include "update/ProcedureTexts.h"

class CUpdaterPropertySheet;
class CWaitLine;
class CXColorStatic;
class QLabel;

// Page 2: what the identification found. Resets itself on every showing and hands over to the
// sheet, which fills it as the identification reports.
class CInfoPropertyPage : public QWizardPage {
    Q_OBJECT
public:
    CInfoPropertyPage(Language language, QWidget* parent = nullptr);

    void OnSetActive();

    CUpdaterPropertySheet* sheet = nullptr;

    CXColorStatic* status;          // 1006
    CWaitLine* waitLine;            // under the status while the procedure waits
    CXColorStatic* detail;          // 1007
    QLabel* currentVersionLabel;    // 1008
    QLabel* versionToFlashLabel;    // 1009
    CXColorStatic* hint;            // 1010
    CXColorStatic* currentVersion;  // 1011
    CXColorStatic* versionToFlash;  // 1012
    QLabel* closeNote;              // why a close request is refused while the worker runs

private:
    QString instruction;
};
