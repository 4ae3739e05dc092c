#pragma once

#include <QApplication>
#include <QTranslator>

#include "update/ProcedureTexts.h"

// The application: sets up the settings root, Qt's own texts and the tools, runs the wizard as
// the one modal window and ends when it closes.
class CTarvelin : public QApplication {
    Q_OBJECT
public:
    CTarvelin(int& argc, char** argv);

    // Runs the whole program; false, so the program ends when it returns.
    bool InitInstance();

    // Qt's own texts (message-box buttons, context menus) in the wizard's language; English
    // needs none. False when the translation is not installed (qt6-translations-l10n).
    bool LoadQtTranslations(Language language);

private:
    QTranslator qtTranslator;
};
