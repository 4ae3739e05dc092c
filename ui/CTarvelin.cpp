#include "ui/CTarvelin.h"

#include <QLibraryInfo>
#include <QMessageBox>
#include <memory>

#include "ui/CUpdaterPropertySheet.h"
#include "ui/Settings.h"
#include "ui/TemplateTexts.h"
#include "update/CZelkorTools.h"

CTarvelin::CTarvelin(int& argc, char** argv) : QApplication(argc, argv) {}

bool CTarvelin::InitInstance() {
    // The settings live under Orvane/<executable base name>; Qt names the application after
    // the executable already.
    setOrganizationName(kSettingsOrganization);
    LoadQtTranslations(SystemLanguage());

    CZelkorTools::SetFatalHandler([](const std::string& message) {
        QMessageBox::critical(nullptr, Text(100, SystemLanguage()),
                              QString::fromStdString(message));
    });
    if (!CZelkorTools::GetInstance().Initialize(0)) {
        return false;
    }

    const auto sheet = std::make_unique<CUpdaterPropertySheet>();
    sheet->exec();
    return false;
}

bool CTarvelin::LoadQtTranslations(Language language) {
    if (language == Language::English) {
        return true;
    }
    removeTranslator(&qtTranslator);
    if (!qtTranslator.load(QStringLiteral("qtbase_") + LanguageCode(language),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return installTranslator(&qtTranslator);
}
