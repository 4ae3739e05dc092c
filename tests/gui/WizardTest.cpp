// The whole wizard against tarvelin-sim: identification over TCP and a pseudo-terminal, a
// full update, a failed update and the way back to the Connect page. What the pages show for
// each outcome is the wizard logic's (its unit tests); here the widgets show it.
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

#include "GuiTestSupport.h"
#include "ui/CUpdaterPropertySheet.h"
#include "ui/CXColorStatic.h"
#include "update/FirmwareBlocks.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);

const QStringList kFastDevice{"--time-scale", "0.1", "--erase-ms", "20"};

bool ErrorStyle(CXColorStatic* label) {
    return label->TextColor() == kRed && label->IsBold();
}
bool PlainStyle(CXColorStatic* label) {
    return label->TextColor() == kBlack && !label->IsBold();
}

// Opens of the log, caught instead of starting a viewer.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

}  // namespace

class WizardTest : public QObject {
    Q_OBJECT
private:
    // Shows the sheet and waits until Next may be pressed on the Connect page.
    bool ShowConnect(CUpdaterPropertySheet& sheet) {
        sheet.show();
        return WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 3000);
    }
    // Presses Next and waits for the identification's report.
    bool Identify(CUpdaterPropertySheet& sheet, int timeoutMs) {
        sheet.NextButton()->click();
        if (sheet.currentId() != CUpdaterPropertySheet::kInfoPage) {
            return false;
        }
        return WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, timeoutMs);
    }
    bool Flash(CUpdaterPropertySheet& sheet, int timeoutMs) {
        sheet.NextButton()->click();
        if (sheet.currentId() != CUpdaterPropertySheet::kUpdatePage) {
            return false;
        }
        return WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, timeoutMs);
    }
    static void CheckEndButtons(CUpdaterPropertySheet& sheet) {
        QCOMPARE(sheet.BackButton()->text(), QString("<< Start"));
        QVERIFY(sheet.BackButton()->isVisible() && sheet.BackButton()->isEnabled());
        QCOMPARE(sheet.FinishButton()->text(), QString("Finish"));
        QVERIFY(sheet.FinishButton()->isVisible() && sheet.FinishButton()->isEnabled());
        QVERIFY(!sheet.NextButton()->isVisible());
        QVERIFY(!sheet.CancelButton()->isVisible());
    }

private slots:
    void tcpIdentificationPasses() {
        SimProcess sim(
            QStringList{"--tcp", "0", "--firmware-version", "V2.15", "--main-port", "none"} +
            kFastDevice);
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        ChooseTcp(sheet, sim.TcpPort());
        QVERIFY2(ShowConnect(sheet), "Next never became enabled");

        sheet.NextButton()->click();
        QCOMPARE(sheet.currentId(), int(CUpdaterPropertySheet::kInfoPage));
        // While the worker runs nothing closes the wizard: no button, no close box, no Escape.
        QVERIFY(sheet.Procedure().IsWorkerRunning());
        QVERIFY(!sheet.BackButton()->isEnabled());
        QVERIFY(!sheet.NextButton()->isEnabled());
        QVERIFY(!sheet.CancelButton()->isEnabled());
        sheet.close();
        QTest::keyClick(&sheet, Qt::Key_Escape);
        sheet.reject();
        QVERIFY(sheet.isVisible());
        // ... and the page says why.
        auto* note = Find<QLabel>(&sheet, "infoCloseNote");
        QVERIFY(note->isVisible());
        QVERIFY2(note->text().startsWith("The wizard is talking to the Coder;"),
                 qPrintable(note->text()));

        QVERIFY2(WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, 20000),
                 "no identification within 20 s");
        QVERIFY(!note->isVisible());
        auto* status = Find<CXColorStatic>(&sheet, "info1006");
        QCOMPARE(status->text(),
                 QString("Connection to Coder (127.0.0.1:%1) established.").arg(sim.TcpPort()));
        QVERIFY(PlainStyle(status));
        auto* current = Find<CXColorStatic>(&sheet, "info1011");
        auto* toFlash = Find<CXColorStatic>(&sheet, "info1012");
        QCOMPARE(current->text(), QString("2.15"));
        QCOMPARE(toFlash->text(), QString("2.16 (Coder_V02_16.img)"));
        QVERIFY(current->isVisible() && current->IsBold());
        QVERIFY(toFlash->isVisible() && toFlash->IsBold());
        QVERIFY(Find<QLabel>(&sheet, "info1008")->isVisible());
        QVERIFY(Find<QLabel>(&sheet, "info1009")->isVisible());
        QVERIFY(Find<CXColorStatic>(&sheet, "info1010")->text().startsWith("Press \"Next >\""));
        QVERIFY(Find<CXColorStatic>(&sheet, "info1010")->isVisible());
        QVERIFY(sheet.BackButton()->isEnabled());
        QVERIFY(sheet.NextButton()->isEnabled());
        QVERIFY(sheet.CancelButton()->isEnabled());

        // Back leads to the Connect page, which keeps the choice.
        sheet.BackButton()->click();
        QCOMPARE(sheet.currentId(), int(CUpdaterPropertySheet::kConnectPage));
        QVERIFY(!sheet.BackButton()->isEnabled());
        QVERIFY(Find<QRadioButton>(&sheet, "connect1004")->isChecked());
        // Now Cancel closes it.
        sheet.CancelButton()->click();
        QVERIFY(!sheet.isVisible());
    }

    void serialPortLinkedAsCom() {
        SimProcess sim(QStringList{"--serial", "--link", "COM9", "--baud", "19200"} + kFastDevice);
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        sheet.m_connectPage->Logic().connectionType = 0;
        sheet.m_connectPage->Logic().serialPort = 9;
        QVERIFY2(ShowConnect(sheet), "Next never became enabled");
        QCOMPARE(Find<QComboBox>(&sheet, "connectComCombo")->currentText(), QString("COM9"));
        QVERIFY2(Identify(sheet, 30000), "no identification within 30 s");

        auto* status = Find<CXColorStatic>(&sheet, "info1006");
        QCOMPARE(status->text(), QString("Established connection to Coder via COM9."));
        QCOMPARE(Find<CXColorStatic>(&sheet, "info1007")->text(), QString("Baud rate: 19200"));
        QCOMPARE(Find<CXColorStatic>(&sheet, "info1011")->text(), QString("2.15"));
        QCOMPARE(Find<CXColorStatic>(&sheet, "info1012")->text(),
                 QString("2.16 (Coder_V02_16.img)"));
        QVERIFY(sheet.NextButton()->isEnabled());
    }

    void fullUpdateOverTcp() {
        SimProcess sim(QStringList{"--tcp", "0", "--main-port", "none"} + kFastDevice);
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        FirmwareFolder folder(true, true, 40);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        ChooseTcp(sheet, sim.TcpPort());
        QVERIFY2(ShowConnect(sheet), "Next never became enabled");
        QVERIFY2(Identify(sheet, 20000), "no identification within 20 s");
        QVERIFY(sheet.NextButton()->isEnabled());

        auto* stage1 = Find<CXColorStatic>(&sheet, "update1010");
        auto* stage2 = Find<CXColorStatic>(&sheet, "update1009");
        auto* stage3 = Find<CXColorStatic>(&sheet, "update1011");
        auto* bar = Find<QProgressBar>(&sheet, "update1012");
        sheet.NextButton()->click();
        QCOMPARE(sheet.currentId(), int(CUpdaterPropertySheet::kUpdatePage));
        QVERIFY(!sheet.BackButton()->isEnabled());
        QVERIFY(!sheet.NextButton()->isEnabled());
        QVERIFY(!sheet.CancelButton()->isEnabled());
        // Watch the stages come and go while the update runs.
        bool sawAllStages = false;
        // Each step's range, as the bar had it when the step arrived.
        QList<int> stepRanges;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value > 0 && (stepRanges.isEmpty() || stepRanges.last() != bar->maximum())) {
                stepRanges.append(bar->maximum());
            }
        });
        QVERIFY2(WaitUntil(
                     [&] {
                         if (stage1->isVisible() && stage2->isVisible() && stage3->isVisible() &&
                             bar->isVisible()) {
                             sawAllStages = true;
                         }
                         return !sheet.Procedure().IsWorkerRunning();
                     },
                     60000),
                 "no end of the update within 60 s");
        QVERIFY(sawAllStages);
        QCOMPARE(stage1->TextColor(), kGrey);
        QCOMPARE(stage2->TextColor(), kGrey);
        QCOMPARE(stage3->TextColor(), kBlack);
        QVERIFY(!stage1->isVisible() && !bar->isVisible());
        // The last stage (DSP firmware, 4 blocks and a part) ran to its maximum.
        QCOMPARE(bar->maximum(), int(ProgressRange(4 * 64 + 10)));
        QCOMPARE(bar->value(), bar->maximum());
        const QList<int> expectedRanges{int(ProgressRange(40 * 64)), int(ProgressRange(3 * 64)),
                                        int(ProgressRange(4 * 64 + 10))};
        QCOMPARE(stepRanges, expectedRanges);

        auto* status = Find<CXColorStatic>(&sheet, "update1013");
        QCOMPARE(status->text(), QString("Update operation successfully finished."));
        QVERIFY(PlainStyle(status));
        auto* version = Find<CXColorStatic>(&sheet, "update1019");
        QCOMPARE(version->text(), QString("2.16"));
        QVERIFY(version->isVisible() && version->IsBold());
        QCOMPARE(Find<QLabel>(&sheet, "update1018")->text(), QString("Current firmware version: "));
        QVERIFY(Find<QLabel>(&sheet, "update1018")->isVisible());
        QVERIFY(!Find<QPushButton>(&sheet, "update1014")->isVisible());
        CheckEndButtons(sheet);
        QFile log(QString::fromStdString(folder.LogPath()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QVERIFY(lines.contains("Update finished successfully.\r\n"));
        QVERIFY(lines.contains("New firmware version:  2.16\r\n"));
        QVERIFY(lines.contains("-> FE,"));  // frames reach the log through the event loop

        // "<< Start": the Connect page with the buttons as they were; nothing starts by itself.
        sheet.BackButton()->click();
        QCOMPARE(sheet.currentId(), int(CUpdaterPropertySheet::kConnectPage));
        QCOMPARE(sheet.BackButton()->text(), QString("< &Back"));
        QVERIFY(sheet.BackButton()->isVisible() && !sheet.BackButton()->isEnabled());
        QVERIFY(sheet.NextButton()->isVisible());
        QVERIFY(sheet.CancelButton()->isVisible() && sheet.CancelButton()->isEnabled());
        QVERIFY(!sheet.FinishButton()->isVisible());
        QVERIFY(!sheet.Procedure().IsWorkerRunning());
        QVERIFY2(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 2000),
                 "Next stays disabled after << Start");
        // The next identification starts with Next and finds the new version.
        QVERIFY2(Identify(sheet, 20000), "no identification within 20 s");
        QCOMPARE(Find<CXColorStatic>(&sheet, "info1011")->text(), QString("2.16"));
    }

    void failedUpdateOverTcp() {
        SimProcess sim(QStringList{"--tcp", "0", "--main-port", "none", "--nack", "0:17"} +
                       kFastDevice);
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        ChooseTcp(sheet, sim.TcpPort());
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "Open");
        const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler("file"); });
        QVERIFY2(ShowConnect(sheet), "Next never became enabled");
        QVERIFY2(Identify(sheet, 20000), "no identification within 20 s");
        QVERIFY2(Flash(sheet, 60000), "no end of the update within 60 s");

        auto* status = Find<CXColorStatic>(&sheet, "update1013");
        QFile log(QString::fromStdString(folder.LogPath()));
        log.open(QIODevice::ReadOnly);
        // On a surprise the update log tells which step went wrong.
        QVERIFY2(Find<QLabel>(&sheet, "update1017")->text().startsWith("Error while flashing"),
                 log.readAll().constData());
        QCOMPARE(status->text(), QString("Update operation failed!"));
        QVERIFY(ErrorStyle(status));
        auto* detail = Find<QLabel>(&sheet, "update1017");
        QCOMPARE(detail->text(),
                 QString("Error while flashing the Coder firmware.\nVerify failed."));
        QVERIFY(detail->isVisible());
        // Below the texts, where the busy line was: what the coder was left with.
        auto* note = Find<QLabel>(&sheet, "updateFailureNote");
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(),
                 QString("Stopped at block 8000:0000 of Coder_V02_16.img; the Coder is running its "
                         "BIOS and is off air: press \"<< Start\" and run the update again to "
                         "complete it."));
        QVERIFY(note->geometry().top() >= detail->geometry().bottom());
        auto* showLog = Find<QPushButton>(&sheet, "update1014");
        QVERIFY(showLog->isVisible());
        QVERIFY(!Find<CXColorStatic>(&sheet, "update1019")->isVisible());
        CheckEndButtons(sheet);

        showLog->click();
        QCOMPARE(catcher.opened.size(), 1);
        QCOMPARE(catcher.opened[0].toLocalFile(), QString::fromStdString(folder.LogPath()));

        // Finish ends the wizard.
        sheet.FinishButton()->click();
        QVERIFY(!sheet.isVisible());
        QCOMPARE(sheet.result(), int(QDialog::Accepted));
    }
};

static GuiTestRegistration registration("Wizard", [] { return std::make_unique<WizardTest>(); });

#include "WizardTest.moc"
