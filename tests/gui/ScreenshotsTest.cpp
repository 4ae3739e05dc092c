// Not a check: grabs each page of a real window for scripts/screenshots.sh. Without
// TARVELIN_SCREENSHOTS it is skipped.
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "GuiTestSupport.h"
#include "ui/CLogWindow.h"
#include "ui/CUpdaterPropertySheet.h"
#include "ui/CWaitLine.h"
#include "ui/CXColorStatic.h"

class ScreenshotsTest : public QObject {
    Q_OBJECT
private:
    QString folder_;
    bool Save(QWidget& window, const char* name) {
        QTest::qWait(150);  // let the window system draw the frame
        QScreen* screen = window.screen();
        const QPixmap shot =
            screen->grabWindow(0, window.frameGeometry().x(), window.frameGeometry().y(),
                               window.frameGeometry().width(), window.frameGeometry().height());
        return shot.save(QDir(folder_).filePath(name));
    }

private slots:
    void pages() {
        folder_ = qEnvironmentVariable("TARVELIN_SCREENSHOTS");
        if (folder_.isEmpty()) {
            QSKIP("set TARVELIN_SCREENSHOTS to a folder (scripts/screenshots.sh does)");
        }
        SimProcess sim(
            {"--tcp", "0", "--main-port", "none", "--time-scale", "0.1", "--slow-ms", "3"});
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        FirmwareFolder firmware(true, true, 2000);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, firmware);
        ChooseTcp(sheet, sim.TcpPort());
        sheet.show();
        QVERIFY(WaitUntil([&] { return sheet.NextButton()->isEnabled(); }, 3000));
        QVERIFY(Save(sheet, "1-connect.png"));

        sheet.NextButton()->click();
        QVERIFY(WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, 20000));
        QVERIFY(Save(sheet, "2-info.png"));

        sheet.NextButton()->click();
        // The reboot pause after the start command, with its sign of life.
        auto* wait = Find<CWaitLine>(&sheet, "updateWait");
        QVERIFY(WaitUntil([&] { return wait->isVisible(); }, 10000));
        QTest::qWait(1200);  // one second counted down
        QVERIFY(Save(sheet, "3-update-reboot-pause.png"));
        auto* bar = Find<QProgressBar>(&sheet, "update1012");
        QVERIFY(WaitUntil([&] { return bar->isVisible() && bar->value() > 200; }, 30000));
        QVERIFY(Save(sheet, "4-update.png"));

        QVERIFY(WaitUntil([&] { return !sheet.Procedure().IsWorkerRunning(); }, 90000));
        QVERIFY(Save(sheet, "5-end.png"));

        // The log inside the wizard, as a desktop without a viewer for text files gets it.
        sheet.SetUrlOpener([](const QUrl&) { return false; });
        sheet.ShowLogFile();
        QVERIFY(sheet.LogWindow() != nullptr);
        QVERIFY(Save(*sheet.LogWindow(), "6-log-window.png"));
    }
};

static GuiTestRegistration registration("Screenshots",
                                        [] { return std::make_unique<ScreenshotsTest>(); });

#include "ScreenshotsTest.moc"
