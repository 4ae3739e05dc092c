#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <string>

#include "ui/CXColorStatic.h"
#include "wizard/WizardState.h"

// How the Qt controls show the wizard logic's state. Each changes only what differs, so a
// state drawn again costs nothing and moves no cursor.

inline QColor ToQColor(TextColour colour) {
    const ColourRgb rgb = Rgb(colour);
    return QColor(rgb.red, rgb.green, rgb.blue);
}

inline void BindVisible(QWidget* widget, bool visible) {
    if (widget->isHidden() == visible) {
        widget->setVisible(visible);
    }
}

inline bool BindText(QLabel* label, const std::string& text) {
    const QString now = QString::fromStdString(text);
    if (label->text() == now) {
        return false;
    }
    label->setText(now);
    return true;
}

inline void BindText(QLineEdit* edit, const std::string& text) {
    const QString now = QString::fromStdString(text);
    if (edit->text() != now) {
        edit->setText(now);
    }
}

// Text and visibility; a plain label has no colour of its own.
inline bool BindStyled(QLabel* label, const StyledText& state) {
    const bool changed = BindText(label, state.text);
    BindVisible(label, state.visible);
    return changed;
}

// True when the text changed.
inline bool BindStyled(CXColorStatic* label, const StyledText& state) {
    const bool changed = BindText(label, state.text);
    const QColor colour = ToQColor(state.colour);
    if (label->TextColor() != colour) {
        label->SetTextColor(colour);
    }
    if (label->IsBold() != state.bold) {
        label->SetBold(state.bold);
    }
    BindVisible(label, state.visible);
    return changed;
}
