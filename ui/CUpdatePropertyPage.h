#pragma once

#include <QWizardPage>

#include "update/ProcedureTexts.h"
#include "wizard/WizardState.h"

class CUpdaterPropertySheet;
class CWaitLine;
class CXColorStatic;
class QLabel;
class QProgressBar;
class QPushButton;

// Page 3: the flash run. Shows the wizard logic's Update page state: the stages, the progress
// and the result as the flash sequence reports them.
class CUpdatePropertyPage : public QWizardPage {
    Q_OBJECT
public:
    CUpdatePropertyPage(Language language, QWidget* parent = nullptr);

    void Bind(const UpdatePageState& state);

    CUpdaterPropertySheet* sheet = nullptr;

    CXColorStatic* status;       // 1013
    CWaitLine* waitLine;         // under the status while the procedure waits
    QLabel* detail;              // 1017
    QLabel* failureNote;         // in the busy line's place: what a failure left on the coder
    CXColorStatic* stage1;       // 1010
    CXColorStatic* stage2;       // 1009
    CXColorStatic* stage3;       // 1011
    QProgressBar* progress;      // 1012
    QLabel* newVersionLabel;     // 1018
    CXColorStatic* newVersion;   // 1019
    QPushButton* showLogButton;  // 1014
    QLabel* noLogNote;           // in place of 1014 when no log could be written
    QLabel* closeNote;           // why a close request is refused while the worker runs
};
