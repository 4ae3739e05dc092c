// The settings store of update/ and the wizard's QSettings keep one file: each reads what the
// other wrote, and a write of one leaves the other's values alone.
#include <QSettings>
#include <QTest>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "update/ConnectionSettings.h"
#include "update/Settings.h"

namespace {

const std::vector<std::string>& Texts() {
    static const std::vector<std::string> texts = {"",
                                                   "netpc.local",
                                                   "a,b;c=d",
                                                   " padded ",
                                                   "@at",
                                                   "@@",
                                                   "@Invalid()",
                                                   "quote\" back\\",
                                                   "Grüße, € 😀",
                                                   "C:\\fw\\Übertragung",
                                                   "a\tb\n",
                                                   std::string("x\x01") + "1f",
                                                   "; not a comment",
                                                   "[Settings]",
                                                   "=",
                                                   "#hash"};
    return texts;
}

// As the wizard opens its settings, for another application name.
QSettings Open(const std::string& application) {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganization,
                     QString::fromStdString(application));
}

std::string Key(size_t i) {
    return "Text" + std::to_string(i);
}

}  // namespace

class SettingsCompatibilityTest : public QObject {
    Q_OBJECT
private slots:
    // One application per direction: QSettings keeps a file it has read in a cache of its own.
    void qtReadsWhatTheStoreWrote() {
        Settings store("tarvelin-compat-store");
        std::string error;
        QVERIFY2(StoreConnectionSettings(store, {1, 5, "netpc.local", 4001}, error), error.c_str());
        QVERIFY(store.WriteInt(kSerialPortValue, -1, error));
        for (size_t i = 0; i < Texts().size(); ++i) {
            QVERIFY2(store.WriteString(Key(i), Texts()[i], error), error.c_str());
        }
        QSettings qt = Open("tarvelin-compat-store");
        qt.beginGroup(kSettingsGroup);
        QCOMPARE(qt.value(kConnectionTypeValue, 0).toInt(), 1);
        QCOMPARE(qt.value(kSerialPortValue, 1).toInt(), -1);
        QCOMPARE(qt.value(kTcpAddressValue).toString(), QString("netpc.local"));
        QCOMPARE(qt.value(kTcpPortValue, 0).toInt(), 4001);
        for (size_t i = 0; i < Texts().size(); ++i) {
            QCOMPARE(qt.value(QString::fromStdString(Key(i))).toString().toStdString(), Texts()[i]);
        }
    }

    void theStoreReadsWhatQtWrote() {
        {
            QSettings qt = Open("tarvelin-compat-qt");
            qt.beginGroup(kSettingsGroup);
            qt.setValue(kConnectionTypeValue, 1);
            qt.setValue(kSerialPortValue, -1);
            qt.setValue(kTcpAddressValue, "netpc.local");
            qt.setValue(kTcpPortValue, 4001);
            for (size_t i = 0; i < Texts().size(); ++i) {
                qt.setValue(QString::fromStdString(Key(i)), QString::fromStdString(Texts()[i]));
            }
            qt.endGroup();
            qt.setValue("Window/Size", 3);
            qt.sync();
            QCOMPARE(qt.status(), QSettings::NoError);
        }
        const Settings store("tarvelin-compat-qt");
        const ConnectionSettings choice = LoadConnectionSettings(store);
        QCOMPARE(choice.connectionType, 1);
        QCOMPARE(choice.serialPort, -1);
        QCOMPARE(choice.tcpAddress, std::string("netpc.local"));
        QCOMPARE(choice.tcpPort, 4001);
        for (size_t i = 0; i < Texts().size(); ++i) {
            QCOMPARE(store.ReadString(Key(i), "absent"), Texts()[i]);
        }
    }

    void aStoreWriteKeepsWhatQtWrote() {
        {
            QSettings qt = Open("tarvelin-compat-mixed");
            qt.beginGroup(kSettingsGroup);
            qt.setValue(kTcpAddressValue, "netpc.local");
            qt.setValue(kFirmwareFolderValue, "/srv/fw, old");
            qt.endGroup();
            qt.setValue("Window/Size", 3);
            qt.setValue("top", "level");
        }
        Settings store("tarvelin-compat-mixed");
        std::string error;
        QVERIFY(store.WriteInt(kConnectionTypeValue, 0, error));
        QVERIFY(store.WriteInt(kSerialPortValue, 7, error));
        QVERIFY(store.WriteString(kFirmwareFolderValue, "/srv/fw, new", error));
        QSettings qt = Open("tarvelin-compat-mixed");
        qt.beginGroup(kSettingsGroup);
        QCOMPARE(qt.value(kTcpAddressValue).toString(), QString("netpc.local"));
        QCOMPARE(qt.value(kSerialPortValue).toInt(), 7);
        QCOMPARE(qt.value(kFirmwareFolderValue).toString(), QString("/srv/fw, new"));
        qt.endGroup();
        QCOMPARE(qt.value("Window/Size").toInt(), 3);
        QCOMPARE(qt.value("top").toString(), QString("level"));
        QCOMPARE(QString::fromStdString(store.Location()), qt.fileName());
    }
};

static GuiTestRegistration registration("SettingsCompatibility", [] {
    return std::make_unique<SettingsCompatibilityTest>();
});

#include "SettingsCompatibilityTest.moc"
