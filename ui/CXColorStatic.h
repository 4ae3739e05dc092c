#pragma once

#include <QColor>
#include <QLabel>

// A text whose colour and weight the program changes to show progress and failures. Both
// changes are painted at once, so a status is visible even when the GUI thread is busy next.
class CXColorStatic : public QLabel {
    Q_OBJECT
public:
    explicit CXColorStatic(const QString& text = QString(), QWidget* parent = nullptr);

    void SetTextColor(const QColor& color);
    // Keeps the font and changes only its weight.
    void SetBold(bool bold);

    QColor TextColor() const { return textColor; }
    bool IsBold() const { return bold; }

private:
    QColor textColor;
    bool bold = false;
};
