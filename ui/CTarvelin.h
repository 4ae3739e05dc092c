#pragma once

#include <QApplication>
#include <QStringList>
#include <QTranslator>
#include <memory>

#include "update/ProcedureTexts.h"

// The application: sets up the settings root, Qt's own texts and the tools, runs the wizard as
// the one modal window and ends when it closes.
class CUpdaterPropertySheet;

class CTarvelin : public QApplication {
    Q_OBJECT
public:
    CTarvelin(int& argc, char** argv);

    // Runs the whole program; false, so the program ends when it returns.
    bool InitInstance();

    // The wizard for the program's arguments (without the program's name): none, or the folder
    // of the firmware files, or a file in it (a coder image, as "Open with" passes it). Null,
    // after a message box that says why, for arguments that name no folder.
    static std::unique_ptr<CUpdaterPropertySheet> CreateSheet(const QStringList& arguments);

    // Qt's own texts (message-box buttons, context menus) in the wizard's language; English
    // needs none. False when the translation is not installed (qt6-translations-l10n).
    bool LoadQtTranslations(Language language);

private:
    QTranslator qtTranslator;
};
