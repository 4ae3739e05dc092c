#include "ui/CTarvelin.h"

#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <memory>

#include "ui/CUpdaterPropertySheet.h"
#include "ui/GuidanceTexts.h"
#include "ui/Settings.h"
#include "ui/TemplateTexts.h"
#include "update/CZelkorTools.h"

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
    QString folder;
    if (arguments.size() > 1) {
        QMessageBox::critical(nullptr, Text(100, language),
                              GuidanceString(GuidanceText::Usage, language));
        return nullptr;
    }
    if (arguments.size() == 1) {
        const QFileInfo given(arguments[0]);
        if (given.isDir()) {
            folder = given.absoluteFilePath();
        } else if (given.exists()) {
            folder = given.absolutePath();
        } else {
            QMessageBox::critical(
                nullptr, Text(100, language),
                GuidanceString(GuidanceText::NoSuchFolder, language).arg(arguments[0]));
            return nullptr;
        }
    }
    auto sheet = std::make_unique<CUpdaterPropertySheet>();
    sheet->SetFirmwareFolder(folder);
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
