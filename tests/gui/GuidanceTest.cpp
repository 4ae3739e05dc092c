// What the wizard says beyond its string table: a sign of life while the procedure waits,
// why it stays open while a worker runs, the log inside the wizard when the desktop cannot
// open it.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "GuiTestSupport.h"
#include "tests/support/PortHolder.h"
#include "ui/CLogWindow.h"
#include "ui/CUpdaterPropertySheet.h"
#include "ui/CWaitLine.h"
#include "ui/CXColorStatic.h"
#include "update/OpenFailureTexts.h"
#include "update/ProcedureWaits.h"

namespace {

const QStringList kFastDevice{"--time-scale", "0.1", "--erase-ms", "20"};

}  // namespace

class GuidanceTest : public QObject {
    Q_OBJECT
private slots:
    // The reboot pause after the start command shows a busy line that counts down; a close
    // request meanwhile says why the wizard stays open. Both go with the wait and the worker.
    void flashingShowsSignsOfLife() {
        SimProcess sim(QStringList{"--serial", "--link", "COM8"} + kFastDevice);
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        sheet.m_connectPage->Logic().connectionType = 0;
        sheet.m_connectPage->Logic().serialPort = 8;
        sheet.show();
        QVERIFY2(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 3000),
                 "Next never became enabled");
        sheet.NextButton()->click();
        QVERIFY2(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 30000),
                 "the identification does not let the update go on");
        sheet.NextButton()->click();
        QCOMPARE(sheet.currentId(), int(CUpdaterPropertySheet::kUpdatePage));

        auto* status = Find<CXColorStatic>(&sheet, "update1013");
        auto* wait = Find<CWaitLine>(&sheet, "updateWait");
        auto* note = Find<QLabel>(&sheet, "updateCloseNote");
        QVERIFY(!note->isVisible());
        QVERIFY2(WaitUntil([&] { return wait->isVisible(); }, 5000),
                 "no sign of life during the reboot pause");
        QCOMPARE(status->text(), QString("Starting firmware update..."));
        QVERIFY(wait->busy->isVisible());
        QCOMPARE(wait->busy->maximum(), 0);  // busy mode
        QStringList restartTexts;
        for (int seconds = 0; seconds <= 10; ++seconds) {
            restartTexts.append(
                QString::fromStdString(WaitText(WAIT_RESTART, Language::English, seconds)));
        }
        QSet<QString> shown;
        // The close box and Escape: the wizard stays and says why, without a box of its own.
        sheet.close();
        QVERIFY(sheet.isVisible());
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(),
                 QString("The Coder is being updated; closing now would leave it in its BIOS."));
        for (QWidget* window : QApplication::topLevelWidgets()) {
            QVERIFY(window == &sheet || !window->isVisible());
        }
        note->hide();
        QTest::keyClick(&sheet, Qt::Key_Escape);
        QVERIFY(sheet.isVisible());
        QVERIFY(note->isVisible());

        // It counts down while the pause lasts and ends with it: the line goes, or the next
        // wait (the BIOS check, an erase) takes its place at once.
        QVERIFY2(WaitUntil(
                     [&] {
                         const bool restarting =
                             wait->isVisible() && restartTexts.contains(wait->text->text());
                         if (restarting) {
                             shown.insert(wait->text->text());
                         }
                         return !restarting;
                     },
                     10000),
                 "the sign of life outlasts the reboot pause");
        QVERIFY2(shown.size() >= 2, qPrintable(QStringList(shown.values()).join('|')));

        // The note goes with the worker, and then closing works.
        QVERIFY2(WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, 60000),
                 "no end of the update within 60 s");
        QCOMPARE(Find<CXColorStatic>(&sheet, "update1013")->text(),
                 QString("Update operation successfully finished."));
        QVERIFY(!note->isVisible());
        sheet.close();
        QVERIFY(!sheet.isVisible());
    }

    // Under "Could not connect to Coder!" the reason and what to do, as the command line says
    // them: a TCP port nobody listens on, and a serial port another process holds open.
    void refusedConnectionSaysWhy_data() {
        QTest::addColumn<bool>("serial");
        QTest::newRow("tcp refused") << false;
        QTest::newRow("serial held") << true;
    }
    void refusedConnectionSaysWhy() {
        QFETCH(bool, serial);
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        std::unique_ptr<SimProcess> sim;
        std::unique_ptr<PortHolderProcess> holder;
        if (serial) {
            sim = std::make_unique<SimProcess>(QStringList{"--serial", "--link", "COM11"});
            QVERIFY2(sim->Ready(), qPrintable(sim->Output()));
            // A terminal program without a lock, as it would be in the field.
            holder = std::make_unique<PortHolderProcess>(sim->SerialPath().toStdString());
            QVERIFY(holder->Ready());
            sheet.m_connectPage->Logic().connectionType = 0;
            sheet.m_connectPage->Logic().serialPort = 11;
        } else {
            ChooseTcp(sheet, FreeLoopbackPort());
        }
        sheet.show();
        QVERIFY2(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 3000),
                 "Next never became enabled");
        sheet.NextButton()->click();
        QVERIFY2(WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, 60000),
                 "no identification within 60 s");

        QCOMPARE(Find<CXColorStatic>(&sheet, "info1006")->text(),
                 QString("Could not connect to Coder!"));
        const OpenFailure& failure = sheet.Procedure().m_openFailure;
        QCOMPARE(failure.kind, serial ? OpenFailureKind::Busy : OpenFailureKind::Refused);
        auto* detail = Find<CXColorStatic>(&sheet, "info1007");
        QVERIFY(detail->isVisible());
        const QString reason =
            QString::fromStdString(OpenFailureReason(failure, Language::English));
        QVERIFY2(detail->text().contains(reason), qPrintable(detail->text()));
        if (serial) {
            QCOMPARE(failure.holderPid, int(holder->Pid()));
            QVERIFY2(detail->text().contains(QString("sleep (pid %1)").arg(holder->Pid())),
                     qPrintable(detail->text()));
        } else {
            QVERIFY2(detail->text().contains(QString::fromStdString(failure.target)),
                     qPrintable(detail->text()));
        }
        QVERIFY(!sheet.NextButton()->isEnabled());
    }

    void failedUpdateWithoutLogSaysSo() {
        SimProcess sim(QStringList{"--serial", "--link", "COM10", "--nack", "0:17"} + kFastDevice);
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        sheet.m_connectPage->Logic().connectionType = 0;
        sheet.m_connectPage->Logic().serialPort = 10;
        sheet.show();
        QVERIFY2(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 3000),
                 "Next never became enabled");
        // A log that cannot be written, as when neither the firmware folder nor the state
        // folder can be (this may run as root, who may write anywhere else).
        sheet.Procedure().SetLogPath("/proc/no-such-folder/TarvelinLog.txt");
        sheet.NextButton()->click();
        QVERIFY2(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 30000),
                 "the identification does not let the update go on");
        sheet.NextButton()->click();
        QVERIFY2(WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, 60000),
                 "no end of the update within 60 s");

        QCOMPARE(Find<CXColorStatic>(&sheet, "update1013")->text(),
                 QString("Update operation failed!"));
        QVERIFY(!Find<QPushButton>(&sheet, "update1014")->isVisible());
        auto* noLog = Find<QLabel>(&sheet, "updateNoLog");
        QVERIFY(noLog->isVisible());
        QVERIFY(noLog->text().startsWith("No log file:"));
    }

    void logWindowWhenTheDesktopCannotOpenIt() {
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        QList<QUrl> asked;
        sheet.SetUrlOpener([&](const QUrl& url) {
            asked.append(url);
            return false;
        });
        QFile log(QString::fromStdString(folder.LogPath()));
        QVERIFY(log.open(QIODevice::WriteOnly));
        QString expected;
        for (int i = 0; i < 300; ++i) {
            const QString line = QString("-> FE,00,%1,FF").arg(i, 4, 10, QChar('0'));
            log.write((line + "\r\n").toLatin1());
            expected += line + "\n";
        }
        log.write("Update operation failed\r\n");
        expected += "Update operation failed\n";
        log.close();
        sheet.show();
        // The log lies where the discovery put it.
        QVERIFY(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 3000));
        QVERIFY(sheet.LogWindow() == nullptr);

        sheet.ShowLogFile();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].toLocalFile(), QString::fromStdString(folder.LogPath()));
        CLogWindow* window = sheet.LogWindow();
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QCOMPARE(window->text->toPlainText(), expected);
        QVERIFY(window->text->isReadOnly());
        QVERIFY(QFontInfo(window->text->font()).fixedPitch());
        QVERIFY(WaitUntil(
            [&] {
                const QScrollBar* bar = window->text->verticalScrollBar();
                return bar->maximum() > 0 && bar->value() == bar->maximum();
            },
            2000));
        QCOMPARE(window->pathLabel->text(), QString::fromStdString(folder.LogPath()));
        window->copyPathButton->click();
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(folder.LogPath()));

        // Pressed again, the same window shows the file as it is now.
        QVERIFY(log.open(QIODevice::Append));
        log.write("one more line\r\n");
        log.close();
        window->close();
        sheet.ShowLogFile();
        QCOMPARE(sheet.LogWindow(), window);
        QVERIFY(window->isVisible());
        QVERIFY(window->text->toPlainText().endsWith("one more line\n"));

        // A desktop that opens the file shows no window of ours.
        window->close();
        sheet.SetUrlOpener([](const QUrl&) { return true; });
        sheet.ShowLogFile();
        QVERIFY(!window->isVisible());
    }
};

static GuiTestRegistration registration("Guidance",
                                        [] { return std::make_unique<GuidanceTest>(); });

#include "GuidanceTest.moc"
