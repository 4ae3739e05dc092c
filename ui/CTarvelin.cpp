#include "ui/CTarvelin.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <memory>
#include <string>
#include <vector>

#include "ui/CUpdaterPropertySheet.h"
#include "ui/Settings.h"
#include "ui/TemplateTexts.h"
#include "update/CZelkorTools.h"
#include "wizard/StartArguments.h"

CTarvelin::CTarvelin(int& argc, char** argv) : QApplication(argc, argv) {
    // The desktop entry and the icon theme name the program; the desktop matches its windows
    // to the entry by this name.
    setDesktopFileName(QStringLiteral("tarvelin"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("tarvelin")));
}

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

    const std::unique_ptr<CUpdaterPropertySheet> sheet = CreateSheet(arguments().mid(1));
    if (sheet) {
        sheet->exec();
    }
    return false;
}

std::unique_ptr<CUpdaterPropertySheet> CTarvelin::CreateSheet(const QStringList& arguments) {
    const Language language = SystemLanguage();
    std::vector<std::string> given;
    for (const QString& argument : arguments) {
        given.push_back(argument.toStdString());
    }
    const StartFolder start = StartFolderFromArguments(given, language);
    if (!start.valid) {
        QMessageBox::critical(nullptr, Text(100, language), QString::fromStdString(start.error));
        return nullptr;
    }
    auto sheet = std::make_unique<CUpdaterPropertySheet>();
    sheet->SetFirmwareFolder(QString::fromStdString(start.folder));
    return sheet;
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
