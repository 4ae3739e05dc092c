// With a German locale every page shows its German texts.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "GuiTestSupport.h"
#include "ui/CTarvelin.h"
#include "ui/CUpdaterPropertySheet.h"
#include "ui/CXColorStatic.h"
#include "ui/TemplateTexts.h"

class GermanTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (SystemLanguage() != Language::German) {
            QFAIL("run this class with LANG=de_DE.UTF-8 (and LC_ALL, LC_MESSAGES unset)");
        }
    }

    void pagesSpeakGerman() {
        SimProcess sim({"--tcp", "0", "--main-port", "none", "--time-scale", "0.1"});
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        ChooseTcp(sheet, sim.TcpPort());
        sheet.show();
        QVERIFY2(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 3000),
                 "Next never became enabled");

        QCOMPARE(sheet.windowTitle(), QString("Tarvelin V2.4"));
        QCOMPARE(sheet.m_connectPage->title(), QString("Coder-Firmware flashen"));
        QCOMPARE(sheet.m_connectPage->subTitle(), QString("Mit Coder verbinden"));
        QCOMPARE(Find<QRadioButton>(&sheet, "connect1002")->text(), QString("Serielle Verbindung"));
        QCOMPARE(Find<QRadioButton>(&sheet, "connect1004")->text(), QString("TCP/IP-Verbindung"));
        QCOMPARE(Find<QLabel>(&sheet, "connect1007")->text(), QString("IP-Adresse / Hostname:"));
        QCOMPARE(sheet.NextButton()->text(), QString("&Weiter >"));
        QCOMPARE(sheet.BackButton()->text(), QString::fromUtf8("< &Zurück"));
        QCOMPARE(sheet.CancelButton()->text(), QString("Abbrechen"));
        QCOMPARE(sheet.m_infoPage->subTitle(), QString("Coder-Info"));
        QCOMPARE(sheet.m_updatePage->subTitle(), QString("Updatevorgang"));
        QCOMPARE(Find<QLabel>(&sheet, "info1008")->text(), QString("Aktuelle Firmwareversion: "));
        QCOMPARE(Find<QLabel>(&sheet, "info1009")->text(),
                 QString("Zu flashende Firmwareversion:"));
        QCOMPARE(Find<CXColorStatic>(&sheet, "update1010")->text(), QString("1. Coder-Firmware"));
        QCOMPARE(Find<CXColorStatic>(&sheet, "update1009")->text(), QString("2. DSP-Samples"));
        QCOMPARE(Find<CXColorStatic>(&sheet, "update1011")->text(), QString("3. DSP-Firmware"));
        QCOMPARE(Find<QPushButton>(&sheet, "update1014")->text(), QString("Logdatei zeigen..."));

        sheet.NextButton()->click();
        QCOMPARE(Find<CXColorStatic>(&sheet, "info1006")->text(),
                 QString("Verbindungsaufbau zum Coder..."));
        QVERIFY2(WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, 20000),
                 "no identification within 20 s");
        QCOMPARE(Find<CXColorStatic>(&sheet, "info1006")->text(),
                 QString("Verbindung zum Coder (127.0.0.1:%1) hergestellt.").arg(sim.TcpPort()));
        QVERIFY(Find<CXColorStatic>(&sheet, "info1010")
                    ->text()
                    .startsWith(QString::fromUtf8("Drücken Sie \"Weiter >\"")));
    }

    // Box 208 asks a question, in German down to Qt's own buttons; Cancel ends the wizard.
    void coderOnlyQuestionSpeaksGerman() {
        FirmwareFolder folder(false, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        MessageBoxAnswerer answerer(QMessageBox::Cancel);
        sheet.show();
        QVERIFY2(WaitUntil([&] { return !sheet.isVisible(); }, 5000), "the wizard stays open");
        QCOMPARE(answerer.seen, 1);
        QCOMPARE(answerer.text, Text(208, Language::German));
        QCOMPARE(answerer.icon, QMessageBox::Question);
        answerer.buttons.sort();
        QCOMPARE(answerer.buttons, QStringList({"Abbrechen", "OK"}));

        // The same translation reaches the edit fields' context menu.
        QLineEdit edit;
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList actions;
        for (const QAction* action : menu->actions()) {
            actions.append(action->text().remove('&').section('\t', 0, 0));
        }
        QVERIFY2(actions.contains(QString::fromUtf8("Einfügen")), qPrintable(actions.join('|')));
    }

    // The folder chooser's title and box 207 after Cancel, in German.
    void folderChooserSpeaksGerman() {
        QString title;
        const auto sheet = CTarvelin::CreateSheet({});
        sheet->SetFolderChooser([&](const QString& asked, const QString&) {
            title = asked;
            return QString();
        });
        MessageBoxAnswerer answerer(QMessageBox::Ok);
        sheet->show();
        QVERIFY2(WaitUntil([&] { return !sheet->isVisible(); }, 3000), "the wizard stays open");
        QCOMPARE(title, QString::fromUtf8("Ordner mit den Firmwaredateien wählen"));
        QCOMPARE(answerer.text, Text(207, Language::German));
    }
};

static GuiTestRegistration registration("German", [] { return std::make_unique<GermanTest>(); });

#include "GermanTest.moc"
