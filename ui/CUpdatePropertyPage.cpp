#include "ui/CUpdatePropertyPage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/CUpdaterPropertySheet.h"
#include "ui/CWaitLine.h"
#include "ui/CXColorStatic.h"
#include "ui/GuidanceTexts.h"
#include "ui/TemplateTexts.h"
#include "ui/WizardBinding.h"
#include "update/PageLabels.h"

namespace {

template <typename Widget>
Widget* Keep(Widget* widget, const char* name) {
    widget->setObjectName(name);
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    return widget;
}

}  // namespace

CUpdatePropertyPage::CUpdatePropertyPage(Language language, QWidget* parent) : QWizardPage(parent) {
    setTitle(Text(101, language));
    setSubTitle(Text(104, language));

    status = Keep(new CXColorStatic(TemplateString(TemplateText::UpdateStarting, language)),
                  "update1013");
    waitLine = new CWaitLine;
    waitLine->setObjectName("updateWait");
    detail = Keep(new QLabel, "update1017");
    detail->setWordWrap(true);
    detail->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    detail->setMinimumHeight(detail->fontMetrics().lineSpacing() * 2);
    // Hidden while the update runs, and then no room of its own: the busy line below it stays
    // right under the status.
    QSizePolicy collapsing = detail->sizePolicy();
    collapsing.setRetainSizeWhenHidden(false);
    detail->setSizePolicy(collapsing);
    failureNote = new QLabel;
    failureNote->setObjectName("updateFailureNote");
    failureNote->setWordWrap(true);
    failureNote->hide();
    stage1 = Keep(new CXColorStatic(PageLabelText(PageLabel::Stage1, language)), "update1010");
    stage2 = Keep(new CXColorStatic(PageLabelText(PageLabel::Stage2, language)), "update1009");
    stage3 = Keep(new CXColorStatic(PageLabelText(PageLabel::Stage3, language)), "update1011");
    progress = Keep(new QProgressBar, "update1012");
    progress->setTextVisible(false);
    progress->setValue(0);
    newVersionLabel =
        Keep(new QLabel(PageLabelText(PageLabel::NewVersion, language)), "update1018");
    newVersion = Keep(new CXColorStatic, "update1019");
    showLogButton =
        Keep(new QPushButton(TemplateString(TemplateText::ShowLogFile, language)), "update1014");
    showLogButton->setAutoDefault(false);
    noLogNote = Keep(new QLabel(GuidanceString(GuidanceText::NoLogFile, language)), "updateNoLog");
    noLogNote->setWordWrap(true);
    noLogNote->hide();
    closeNote = Keep(new QLabel, "updateCloseNote");
    closeNote->setWordWrap(true);
    closeNote->hide();

    auto* column = new QVBoxLayout(this);
    column->addWidget(status);
    column->addWidget(detail);
    // One place below the texts: the busy line while the update runs, the note after a failure.
    auto* below = new QGridLayout;
    below->setContentsMargins(0, 0, 0, 0);
    below->addWidget(waitLine, 0, 0);
    below->addWidget(failureNote, 0, 0);
    column->addLayout(below);
    auto* stages = new QHBoxLayout;
    stages->addWidget(stage1);
    stages->addSpacing(16);
    stages->addWidget(stage2);
    stages->addSpacing(16);
    stages->addWidget(stage3);
    stages->addStretch(1);
    column->addLayout(stages);
    auto* bar = new QHBoxLayout;
    bar->addWidget(progress, 3);
    bar->addStretch(1);
    column->addLayout(bar);
    auto* version = new QHBoxLayout;
    version->addWidget(newVersionLabel);
    version->addWidget(newVersion);
    version->addStretch(1);
    column->addLayout(version);
    column->addStretch(1);
    auto* button = new QHBoxLayout;
    button->addWidget(showLogButton);
    button->addWidget(noLogNote, 1);
    button->addStretch(1);
    column->addLayout(button);
    column->addWidget(closeNote);

    connect(showLogButton, &QPushButton::clicked, this, [this] { sheet->ShowLogFile(); });
}

void CUpdatePropertyPage::Bind(const UpdatePageState& state) {
    // The status is drawn at once: the GUI thread may be busy right after it.
    if (BindStyled(status, state.status)) {
        status->repaint();
    }
    waitLine->Bind(state.wait);
    BindStyled(detail, state.detail);
    BindStyled(failureNote, state.failureNote);
    CXColorStatic* const stages[] = {stage1, stage2, stage3};
    for (size_t i = 0; i < state.stages.size(); ++i) {
        BindStyled(stages[i], state.stages[i]);
    }
    const ProgressState& bar = state.progress;
    if (progress->minimum() != bar.minimum || progress->maximum() != bar.maximum) {
        progress->setRange(bar.minimum, bar.maximum);
    }
    if (progress->value() != bar.value) {
        progress->setValue(bar.value);
    }
    BindVisible(progress, bar.visible);
    BindVisible(newVersionLabel, state.newVersionLabel);
    BindStyled(newVersion, state.newVersion);
    BindVisible(showLogButton, state.showLogButton);
    BindVisible(noLogNote, state.noLogNote);
    BindStyled(closeNote, state.closeNote);
}
