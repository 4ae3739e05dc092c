// The Connect page: when Next may be pressed, what is stored where, the port field's filter, and
// the word on ports it leaves out.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <cerrno>
#include <filesystem>

#include "GuiTestSupport.h"
#include "transport/SerialPorts.h"
#include "ui/CConnectPropertyPage.h"
#include "ui/CMaskEdit.h"
#include "ui/CUpdaterPropertySheet.h"
#include "ui/CXColorStatic.h"
#include "ui/Settings.h"
#include "update/OpenFailureTexts.h"

namespace {

void ClearSettings() {
    QSettings settings = OpenSettings();
    settings.clear();
    settings.sync();
}

QVariant Stored(const char* name) {
    QSettings settings = OpenSettings();
    settings.beginGroup(kSettingsGroup);
    return settings.value(name);
}

}  // namespace

class ConnectPageTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void tcpNextFollowsHostAndPort() {
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        sheet.show();
        CConnectPropertyPage* page = sheet.m_connectPage;
        QPushButton* next = Find<QPushButton>(&sheet, "wizardNext");
        QVERIFY(next != nullptr);
        Find<QRadioButton>(&sheet, "connect1004")->click();
        QVERIFY(page->addressEdit->isEnabled());
        QVERIFY(!page->comPortList->isEnabled());

        struct Case {
            const char* host;
            const char* port;
            bool next;
            bool portHint;  // a port too high says why Next stays disabled
        };
        // The whole rule is ConnectPageLogic's (its unit test); here the controls show it.
        const Case cases[] = {
            {"", "4001", false, false},
            {"localhost", "65535", true, false},
            {"127.0.0.1", "65536", false, true},
        };
        auto* hint = Find<QLabel>(&sheet, "connectPortHint");
        for (const Case& c : cases) {
            Find<QLineEdit>(&sheet, "connect1005")->setText(c.host);
            Find<QLineEdit>(&sheet, "connect1006")->setText(c.port);
            QVERIFY2(WaitUntil([&] { return next->isEnabled() == c.next; }, 2000),
                     qPrintable(QString("host '%1' port '%2': Next should be %3")
                                    .arg(c.host, c.port, c.next ? "enabled" : "disabled")));
            QVERIFY2(hint->isVisible() == c.portHint, c.port);
        }
        QCOMPARE(hint->text(), QString("Ports go up to 65535 only."));
        // The hint belongs to the TCP port: gone with the serial choice.
        Find<QRadioButton>(&sheet, "connect1002")->click();
        QVERIFY(!hint->isVisible());
        Find<QRadioButton>(&sheet, "connect1004")->click();
        QVERIFY(hint->isVisible());
        QVERIFY(!Find<QPushButton>(&sheet, "wizardBack")->isEnabled());
        QVERIFY(Find<QPushButton>(&sheet, "wizardCancel")->isEnabled());
    }

    void serialNextNeedsAPort() {
        FirmwareFolder folder(true, false);
        SimProcess sim({"--serial", "--link", "COM7"});
        QVERIFY2(sim.Ready(), qPrintable(sim.Output()));
        CUpdaterPropertySheet sheet;
        UseFolder(sheet, folder);
        sheet.m_connectPage->Logic().connectionType = 0;
        sheet.m_connectPage->Logic().serialPort = 7;
        sheet.show();
        QPushButton* next = Find<QPushButton>(&sheet, "wizardNext");
        QComboBox* list = Find<QComboBox>(&sheet, "connectComCombo");
        QVERIFY2(WaitUntil([&] { return next->isEnabled(); }, 2000), "Next stays disabled");
        // The linked port is listed by its number and selected.
        QCOMPARE(list->currentText(), QString("COM7"));
        QCOMPARE(list->currentData().toInt(), 7);
    }

    void portsThatDoNotOpenAreCountedWithTheirReason() {
        // A pseudo-terminal never unlocked refuses every open, root's too.
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(master >= 0 && grantpt(master) == 0);
        const std::string link = PortsFolder() + "COM8";
        std::filesystem::create_directories(PortsFolder());
        std::filesystem::create_symlink(ptsname(master), link);

        CConnectPropertyPage page(Language::English);
        page.OnSetActive();
        QVERIFY2(page.comPortList->findData(8) < 0, "a port that does not open is listed");
        OpenFailure refused;
        refused.kind = OpenFailureKind::Other;
        refused.systemError = EIO;
        refused.target = link;
        refused.comPort = 8;
        const QString text = page.portsNote->text();
        QVERIFY2(!page.portsNote->isHidden(), qPrintable(text));
        QVERIFY2(text.contains(" not usable:\n"), qPrintable(text));
        QVERIFY2(
            text.contains(QString::fromStdString(OpenFailureReason(refused, Language::English))),
            qPrintable(text));
        // It is about serial ports: gone while TCP/IP is chosen.
        page.tcpRadio->click();
        QVERIFY(page.portsNote->isHidden());
        page.serialRadio->click();
        QVERIFY(!page.portsNote->isHidden());

        std::filesystem::remove(link);
        close(master);
        page.OnSetActive();
        QVERIFY2(!page.portsNote->text().contains("COM8"), qPrintable(page.portsNote->text()));
    }

    void settingsAreWrittenWhenLeftAndReadBack() {
        {
            QSettings settings = OpenSettings();
            settings.beginGroup(kSettingsGroup);
            settings.setValue(kSerialPortValue, 5);
        }
        {
            CConnectPropertyPage page(Language::English);
            QCOMPARE(page.Logic().connectionType, 0);  // defaults
            QCOMPARE(page.Logic().serialPort, 5);
            QCOMPARE(page.Logic().tcpPort, 0);
            page.OnSetActive();
            page.tcpRadio->click();
            QCOMPARE(page.Logic().connectionType, 1);
            page.addressEdit->setText("netpc.local");
            page.portEdit->setText("4001");
            QVERIFY(page.OnKillActive());
        }
        QCOMPARE(Stored(kConnectionTypeValue).toInt(), 1);
        QCOMPARE(Stored(kTcpAddressValue).toString(), QString("netpc.local"));
        QCOMPARE(Stored(kTcpPortValue).toInt(), 4001);
        QCOMPARE(Stored(kSerialPortValue).toInt(), 5);  // the other transport's value stays

        CConnectPropertyPage again(Language::English);
        again.OnSetActive();
        QVERIFY(again.tcpRadio->isChecked());
        QCOMPARE(again.addressEdit->text(), QString("netpc.local"));
        QCOMPARE(again.portEdit->text(), QString("4001"));
        QVERIFY(again.portEdit->isEnabled());
    }

    void portFieldTakesDigitsFromTheKeyboardOnly() {
        CConnectPropertyPage page(Language::English);
        page.OnSetActive();
        page.tcpRadio->click();
        CMaskEdit* edit = page.portEdit;
        QTest::keyClicks(edit, "4a0-0.1 x");
        QCOMPARE(edit->text(), QString("4001"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString("400"));
        QTest::keyClick(edit, Qt::Key_Left);
        QTest::keyClick(edit, Qt::Key_Delete);
        QCOMPARE(edit->text(), QString("40"));

        // Pasted text is not filtered; the stored port is the leading number.
        QApplication::clipboard()->setText("1x7");
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString("401x7"));
        page.addressEdit->setText("127.0.0.1");
        QVERIFY(page.OnKillActive());
        QCOMPARE(page.Logic().tcpPort, 401);

        // Cut and copy work too.
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(QApplication::clipboard()->text(), QString("401x7"));
    }
};

static GuiTestRegistration registration("ConnectPage",
                                        [] { return std::make_unique<ConnectPageTest>(); });

#include "ConnectPageTest.moc"
