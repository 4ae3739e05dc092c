#include "ui/CWizard97PropertySheet.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QResizeEvent>

#include "ui/TemplateTexts.h"

namespace {

constexpr QWizard::WizardButton kBack = QWizard::CustomButton1;
constexpr QWizard::WizardButton kNext = QWizard::CustomButton2;
constexpr QWizard::WizardButton kFinish = QWizard::CustomButton3;

}  // namespace

CWizard97PropertySheet::CWizard97PropertySheet(int captionText, Language language, QWidget* parent)
    : QWizard(parent), language(language) {
    setWizardStyle(QWizard::ModernStyle);
    setWindowTitle(Text(captionText, language));
    setOptions(QWizard::NoDefaultButton | QWizard::HaveCustomButton1 | QWizard::HaveCustomButton2 |
               QWizard::HaveCustomButton3);
    setButtonText(kBack, TemplateString(TemplateText::BackButton, language));
    setButtonText(kNext, TemplateString(TemplateText::NextButton, language));
    setButtonText(kFinish, Text(216, language));
    setButtonText(QWizard::CancelButton, TemplateString(TemplateText::CancelButton, language));
    BackButton()->setObjectName("wizardBack");
    NextButton()->setObjectName("wizardNext");
    FinishButton()->setObjectName("wizardFinish");
    CancelButton()->setObjectName("wizardCancel");
    NextButton()->setDefault(true);
    ShowNormalButtons();
}

CWizard97PropertySheet::~CWizard97PropertySheet() = default;

bool CWizard97PropertySheet::AttachHeaderBitmap(const QString& resource) {
    // The picture lives in a static library, whose resources the linker would drop.
    Q_INIT_RESOURCE(Tarvelin);
    QImage picture(resource);
    if (picture.isNull()) {
        return false;
    }
    headerBitmap = picture.convertToFormat(QImage::Format_RGB888);
    headerWidth = 0;
    FitHeaderToWidth();
    return true;
}

QPixmap CWizard97PropertySheet::HeaderForWidth(int width) const {
    if (headerBitmap.isNull()) {
        return QPixmap();
    }
    if (width == headerBitmap.width()) {
        return QPixmap::fromImage(headerBitmap);
    }
    return QPixmap::fromImage(headerBitmap.scaled(width, headerBitmap.height(),
                                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

QPushButton* CWizard97PropertySheet::BackButton() const {
    return qobject_cast<QPushButton*>(button(kBack));
}
QPushButton* CWizard97PropertySheet::NextButton() const {
    return qobject_cast<QPushButton*>(button(kNext));
}
QPushButton* CWizard97PropertySheet::FinishButton() const {
    return qobject_cast<QPushButton*>(button(kFinish));
}
QPushButton* CWizard97PropertySheet::CancelButton() const {
    return qobject_cast<QPushButton*>(button(QWizard::CancelButton));
}

void CWizard97PropertySheet::ShowNormalButtons() {
    endButtons = false;
    setButtonLayout({QWizard::Stretch, kBack, kNext, QWizard::CancelButton});
}

void CWizard97PropertySheet::ShowEndButtons() {
    endButtons = true;
    setButtonLayout({QWizard::Stretch, kBack, kFinish});
}

void CWizard97PropertySheet::FitHeaderToWidth() {
    // The band spans the window; a banner sets the band's width, so it follows the window.
    if (headerBitmap.isNull() || width() == headerWidth) {
        return;
    }
    headerWidth = qMax(width(), headerBitmap.width());
    setPixmap(QWizard::BannerPixmap, HeaderForWidth(headerWidth));
}

void CWizard97PropertySheet::resizeEvent(QResizeEvent* event) {
    QWizard::resizeEvent(event);
    FitHeaderToWidth();
}

void CWizard97PropertySheet::showEvent(QShowEvent* event) {
    QWizard::showEvent(event);
    FitHeaderToWidth();
}
