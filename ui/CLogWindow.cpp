#include "ui/CLogWindow.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/GuidanceTexts.h"
#include "ui/TemplateTexts.h"

CLogWindow::CLogWindow(Language language, QWidget* parent) : QDialog(parent), language(language) {
    setObjectName("logWindow");
    setWindowTitle(GuidanceString(GuidanceText::LogWindowTitle, language) + " - " +
                   Text(100, language));
    auto* note = new QLabel(GuidanceString(GuidanceText::LogShownHere, language));
    note->setWordWrap(true);
    pathLabel = new QLabel;
    pathLabel->setObjectName("logWindowPath");
    pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    copyPathButton = new QPushButton(GuidanceString(GuidanceText::CopyLogPath, language));
    copyPathButton->setObjectName("logWindowCopyPath");
    copyPathButton->setAutoDefault(false);
    text = new QPlainTextEdit;
    text->setObjectName("logWindowText");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);

    auto* column = new QVBoxLayout(this);
    column->addWidget(note);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(pathLabel, 1);
    pathRow->addWidget(copyPathButton);
    column->addLayout(pathRow);
    column->addWidget(text, 1);
    column->addWidget(buttons);
    resize(720, 480);

    connect(copyPathButton, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(this->path); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
}

bool CLogWindow::ShowFile(const QString& file) {
    path = file;
    pathLabel->setText(path);
    QFile log(path);
    const bool readable = log.open(QIODevice::ReadOnly);
    if (readable) {
        // The log ends its lines in CR LF on every platform.
        text->setPlainText(QString::fromUtf8(log.readAll()).replace("\r\n", "\n"));
    } else {
        text->setPlainText(GuidanceString(GuidanceText::LogUnreadable, language).arg(path));
    }
    show();
    raise();
    activateWindow();
    text->moveCursor(QTextCursor::End);
    text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
    return readable;
}
