#pragma once

#include <QLineEdit>
#include <QString>

class QKeyEvent;

// An edit that takes only the given characters from the keyboard. Pasted text is not
// filtered; editing and navigation keys and Ctrl shortcuts (cut, copy, paste) still work.
class CMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CMaskEdit(QWidget* parent = nullptr);

    // An empty text changes nothing.
    void SetValidChars(const QString& chars);

    // Whether a key with this text and these modifiers reaches the edit.
    bool PassesFilter(const QString& text, Qt::KeyboardModifiers modifiers) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString validChars;
    bool validCharsActive = false;
};
