#pragma once

#include <QImage>
#include <QWizard>

#include "update/ProcedureTexts.h"

class QPushButton;

// A wizard in the Wizard97 manner: a header band with each page's title and subtitle over the
// header picture, which is stretched smoothly to the band (copied 1:1 when it fits), and the
// buttons Back, Next and Cancel, with Finish offered only when the owner asks for it. The
// buttons are the wizard's own so the owner decides every enabled state itself.
class CWizard97PropertySheet : public QWizard {
    Q_OBJECT
public:
    CWizard97PropertySheet(int captionText, Language language, QWidget* parent = nullptr);
    ~CWizard97PropertySheet() override;

    // Loads the header picture; without it no header band is painted.
    bool AttachHeaderBitmap(const QString& resource = QStringLiteral(":/WizardHeader.png"));
    bool HasHeaderBitmap() const { return !headerBitmap.isNull(); }
    const QImage& HeaderBitmap() const { return headerBitmap; }
    // The picture as painted into a band of this width.
    QPixmap HeaderForWidth(int width) const;

    QPushButton* BackButton() const;
    QPushButton* NextButton() const;
    QPushButton* FinishButton() const;
    QPushButton* CancelButton() const;

    // Back, Next and Cancel; Finish hidden. Or "<< Start" where Next was and Finish where
    // Cancel was.
    void ShowNormalButtons();
    void ShowEndButtons();
    bool ShowsEndButtons() const { return endButtons; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

    const Language language;

private:
    void FitHeaderToWidth();

    QImage headerBitmap;
    int headerWidth = 0;
    bool endButtons = false;
};
