#include "ui/CMaskEdit.h"

#include <QKeyEvent>

namespace {

constexpr int kMaxValidChars = 255;

}  // namespace

CMaskEdit::CMaskEdit(QWidget* parent) : QLineEdit(parent) {}

void CMaskEdit::SetValidChars(const QString& chars) {
    if (chars.isEmpty()) {
        return;
    }
    validChars = chars.left(kMaxValidChars);
    validCharsActive = true;
}

bool CMaskEdit::PassesFilter(const QString& text, Qt::KeyboardModifiers modifiers) const {
    if (!validCharsActive || text.isEmpty() || (modifiers & Qt::ControlModifier)) {
        return true;
    }
    for (const QChar c : text) {
        // Backspace, Delete and the other control characters edit; they are not typed text.
        const bool control = c.unicode() < 0x20 || c.unicode() == 0x7F;
        if (!control && !validChars.contains(c)) {
            return false;
        }
    }
    return true;
}

void CMaskEdit::keyPressEvent(QKeyEvent* event) {
    if (!PassesFilter(event->text(), event->modifiers())) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
