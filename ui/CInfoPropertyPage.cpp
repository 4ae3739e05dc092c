#include "ui/CInfoPropertyPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/CUpdaterPropertySheet.h"
#include "ui/CWaitLine.h"
#include "ui/CXColorStatic.h"
#include "ui/TemplateTexts.h"
#include "ui/WizardBinding.h"
#include "update/PageLabels.h"

namespace {

// Hidden controls keep their place, as on a dialog template.
template <typename Widget>
Widget* Keep(Widget* widget, const char* name) {
    widget->setObjectName(name);
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    return widget;
}

}  // namespace

CInfoPropertyPage::CInfoPropertyPage(Language language, QWidget* parent) : QWizardPage(parent) {
    setTitle(Text(101, language));
    setSubTitle(Text(103, language));

    status =
        Keep(new CXColorStatic(TemplateString(TemplateText::InfoConnecting, language)), "info1006");
    waitLine = new CWaitLine;
    waitLine->setObjectName("infoWait");
    detail = Keep(new CXColorStatic, "info1007");
    detail->setWordWrap(true);
    detail->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    detail->setMinimumHeight(detail->fontMetrics().lineSpacing() * 3);
    currentVersionLabel =
        Keep(new QLabel(PageLabelText(PageLabel::CurrentVersion, language)), "info1008");
    versionToFlashLabel =
        Keep(new QLabel(PageLabelText(PageLabel::VersionToFlash, language)), "info1009");
    hint = Keep(new CXColorStatic(TemplateString(TemplateText::InfoInstruction, language)),
                "info1010");
    hint->setWordWrap(true);
    hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hint->setMinimumHeight(hint->fontMetrics().lineSpacing() * 3);
    currentVersion = Keep(new CXColorStatic, "info1011");
    versionToFlash = Keep(new CXColorStatic, "info1012");
    closeNote = Keep(new QLabel, "infoCloseNote");
    closeNote->setWordWrap(true);
    closeNote->hide();

    auto* column = new QVBoxLayout(this);
    column->addWidget(status);
    column->addWidget(waitLine);
    column->addWidget(detail);
    auto* versions = new QGridLayout;
    versions->addWidget(currentVersionLabel, 0, 0);
    versions->addWidget(currentVersion, 0, 1);
    versions->addWidget(versionToFlashLabel, 1, 0);
    versions->addWidget(versionToFlash, 1, 1);
    versions->setColumnStretch(1, 1);
    column->addLayout(versions);
    column->addSpacing(hint->fontMetrics().lineSpacing());
    column->addWidget(hint);
    column->addStretch(1);
    column->addWidget(closeNote);
}

void CInfoPropertyPage::Bind(const InfoPageState& state) {
    BindStyled(status, state.status);
    waitLine->Bind(state.wait);
    BindStyled(detail, state.detail);
    BindVisible(currentVersionLabel, state.versionLabels);
    BindVisible(versionToFlashLabel, state.versionLabels);
    BindStyled(hint, state.hint);
    BindStyled(currentVersion, state.currentVersion);
    BindStyled(versionToFlash, state.versionToFlash);
    BindStyled(closeNote, state.closeNote);
}
