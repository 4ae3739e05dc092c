#include "ui/CXColorStatic.h"

#include <QPalette>

CXColorStatic::CXColorStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent), textColor(palette().color(QPalette::WindowText)) {}

void CXColorStatic::SetTextColor(const QColor& color) {
    textColor = color;
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, color);
    setPalette(colors);
    repaint();
}

void CXColorStatic::SetBold(bool isBold) {
    bold = isBold;
    QFont weighted = font();
    weighted.setWeight(isBold ? QFont::Bold : QFont::Normal);
    setFont(weighted);
    repaint();
}
