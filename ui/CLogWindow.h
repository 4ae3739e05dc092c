#pragma once

#include <QDialog>
#include <QString>

#include "update/ProcedureTexts.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The update log inside the wizard, for a desktop that cannot open text files: read-only,
// monospace, the whole file scrolled to its end, and a button that copies the file's path.
class CLogWindow : public QDialog {
    Q_OBJECT
public:
    CLogWindow(Language language, QWidget* parent = nullptr);

    // Reads the file afresh; false (and the reason shown) when it cannot be read.
    bool ShowFile(const QString& path);

    QString Path() const { return path; }
    QPlainTextEdit* text;
    QLabel* pathLabel;
    QPushButton* copyPathButton;

private:
    const Language language;
    QString path;
};
