#pragma once

#include <QWizardPage>

#include "update/ProcedureTexts.h"
#include "wizard/WizardState.h"

class CUpdaterPropertySheet;
class CWaitLine;
class CXColorStatic;
class QLabel;

// Page 2: what the identification found. Shows the wizard logic's Info page state, which the
// logic resets on every showing and fills as the identification reports.
class CInfoPropertyPage : public QWizardPage {
    Q_OBJECT
public:
    CInfoPropertyPage(Language language, QWidget* parent = nullptr);

    void Bind(const InfoPageState& state);

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
};
