// Where the wizard finds the firmware files: the folder given at start, or, with no firmware
// beside the program (an installed program), the folder the user chooses, remembered for the
// next time.
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include "GuiTestSupport.h"
#include "ui/CTarvelin.h"
#include "ui/CUpdaterPropertySheet.h"
#include "ui/Settings.h"
#include "ui/TemplateTexts.h"
#include "update/FirmwareFiles.h"
#include "update/LogLocation.h"

namespace {

// Stands in for the folder dialog: records what it was asked and answers `answer`.
struct Chooser {
    QString answer;
    int asked = 0;
    QString title;
    QString start;
    CUpdaterPropertySheet::FolderChooser Function() {
        return [this](const QString& askedTitle, const QString& askedStart) {
            ++asked;
            title = askedTitle;
            start = askedStart;
            return answer;
        };
    }
};

QString Remembered() {
    QSettings settings = OpenSettings();
    settings.beginGroup(kSettingsGroup);
    return settings.value(kFirmwareFolderValue).toString();
}

// Shows the sheet and waits until the discovery has run and Next may be pressed.
bool Discovered(CUpdaterPropertySheet& sheet) {
    sheet.show();
    return WaitUntil(
        [&] {
            return !sheet.Procedure().m_versionToFlash.empty() && sheet.NextButton()->isEnabled();
        },
        3000);
}

}  // namespace

class StartFolderTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QSettings settings = OpenSettings();
        settings.clear();
        settings.sync();
    }

    void chosenFolderIsUsedAndRemembered() {
        // The test program's own folder holds no firmware, as an installed program's.
        QVERIFY(!HoldsCoderFirmware(GetProgramDirectory()));
        FirmwareFolder first(true, true);
        FirmwareFolder second(true, false);
        Chooser chooser{QString::fromStdString(first.Path()), 0, {}, {}};
        {
            const auto sheet = CTarvelin::CreateSheet({});
            QVERIFY(sheet != nullptr);
            sheet->SetFolderChooser(chooser.Function());
            QVERIFY2(Discovered(*sheet), "no discovery in the chosen folder");
            QCOMPARE(chooser.asked, 1);
            QCOMPARE(chooser.title, QString("Choose the folder with the firmware files"));
            QCOMPARE(chooser.start, QDir::homePath());  // nothing chosen before
            QCOMPARE(sheet->Procedure().m_versionToFlash, std::string("2.16 (Coder_V02_16.img)"));
            QCOMPARE(sheet->Procedure().m_samplesFile, first.Path() + "/Samples_V01_02.smp");
            QCOMPARE(sheet->Procedure().LogPath(), first.LogPath());
            QCOMPARE(Remembered(), QString::fromStdString(first.Path()));
        }
        // The next run starts where this one chose.
        chooser.answer = QString::fromStdString(second.Path());
        const auto sheet = CTarvelin::CreateSheet({});
        sheet->SetFolderChooser(chooser.Function());
        QVERIFY2(Discovered(*sheet), "no discovery in the chosen folder");
        QCOMPARE(chooser.asked, 2);
        QCOMPARE(chooser.start, QString::fromStdString(first.Path()));
        QCOMPARE(sheet->Procedure().m_dspFile, second.Path() + "/Dsp_V01_05.dsp");
        QCOMPARE(sheet->Procedure().m_samplesFile, std::string());
        QCOMPARE(Remembered(), QString::fromStdString(second.Path()));
    }

    void cancelInTheChooserShowsBox207AndEnds() {
        Chooser chooser;  // answers "": cancelled
        const auto sheet = CTarvelin::CreateSheet({});
        sheet->SetFolderChooser(chooser.Function());
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        sheet->show();
        QVERIFY2(WaitUntil([&] { return !sheet->isVisible(); }, 3000), "the wizard stays open");
        QCOMPARE(chooser.asked, 1);
        QCOMPARE(answerer.seen, 1);
        QCOMPARE(answerer.text, Text(207, Language::English));
        QCOMPARE(answerer.icon, QMessageBox::Critical);
        QCOMPARE(sheet->result(), int(QDialog::Rejected));
        QCOMPARE(Remembered(), QString());
    }

    void chosenFolderWithoutDspAsksBox208() {
        FirmwareFolder folder(false, false);
        Chooser chooser{QString::fromStdString(folder.Path()), 0, {}, {}};
        const auto sheet = CTarvelin::CreateSheet({});
        sheet->SetFolderChooser(chooser.Function());
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        QVERIFY2(Discovered(*sheet), "OK in box 208 does not go on");
        QCOMPARE(answerer.seen, 1);
        QCOMPARE(answerer.text, Text(208, Language::English));
        QCOMPARE(sheet->Procedure().m_dspFile, std::string());
    }

    void folderOrImageArgumentStartsThere() {
        FirmwareFolder folder(true, false);
        const QString path = QString::fromStdString(folder.Path());
        for (const QString& argument : {path, path + "/Coder_V02_16.img", path + "/."}) {
            Chooser chooser;
            const auto sheet = CTarvelin::CreateSheet({argument});
            QVERIFY(sheet != nullptr);
            sheet->SetFolderChooser(chooser.Function());
            QVERIFY2(Discovered(*sheet), qPrintable(argument));
            QCOMPARE(chooser.asked, 0);
            QCOMPARE(sheet->Procedure().m_coderFile, folder.Path() + "/Coder_V02_16.img");
            QCOMPARE(sheet->Procedure().LogPath(), folder.LogPath());
        }
        QCOMPARE(Remembered(), QString());  // an argument is not a choice
    }

    void argumentsThatNameNoFolderAreRefused() {
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        QVERIFY(CTarvelin::CreateSheet({"/no/such/folder"}) == nullptr);
        QCOMPARE(answerer.seen, 1);
        QVERIFY2(answerer.text.startsWith("/no/such/folder does not exist."),
                 qPrintable(answerer.text));
        QCOMPARE(answerer.icon, QMessageBox::Critical);
        QVERIFY(CTarvelin::CreateSheet({"/tmp", "/tmp"}) == nullptr);
        QCOMPARE(answerer.seen, 2);
        QVERIFY2(answerer.text.startsWith("Usage: tarvelin [FOLDER"), qPrintable(answerer.text));
    }

    void applicationNamesItsDesktopEntry() {
        // The desktop matches the windows to tarvelin.desktop, and its icon, by this name.
        QCOMPARE(QGuiApplication::desktopFileName(), QString("tarvelin"));
    }
};

static GuiTestRegistration registration("StartFolder",
                                        [] { return std::make_unique<StartFolderTest>(); });

#include "StartFolderTest.moc"
