// The colour static, the version information and its translation choice, the header picture.
#include <QTest>

#include "GuiTestSupport.h"
#include "ui/CFileVersionInfo.h"
#include "ui/CUpdaterPropertySheet.h"
#include "ui/CXColorStatic.h"

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    void colorStaticBoldAndColourAreIndependent() {
        CXColorStatic label("text");
        QFont font = label.font();
        font.setPointSize(13);
        label.setFont(font);
        label.SetTextColor(QColor(255, 0, 0));
        label.SetBold(true);
        QCOMPARE(label.font().weight(), QFont::Bold);
        QCOMPARE(label.font().pointSize(), 13);  // only the weight changes
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
        label.SetBold(false);
        QCOMPARE(label.font().weight(), QFont::Normal);
        QCOMPARE(label.TextColor(), QColor(255, 0, 0));
        label.SetTextColor(QColor(128, 128, 128));
        QVERIFY(!label.IsBold());
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor(128, 128, 128));
    }

    void translationChoice() {
        using Table = std::vector<VersionTranslation>;
        const Table german{{0x0407, 1252}};
        // German by the exact match, Austrian German by the primary language, English falls
        // through to the first entry.
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0407, german), std::optional<size_t>(0));
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0C07, german), std::optional<size_t>(0));
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0409, german), std::optional<size_t>(0));

        const Table several{{0x040C, 1252}, {0x0000, 1200}, {0x0809, 1252}, {0x0407, 1252}};
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0407, several), std::optional<size_t>(3));
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0807, several), std::optional<size_t>(3));
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0410, several), std::optional<size_t>(1));
        const Table noNeutral{{0x040C, 1252}, {0x0809, 1252}};
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0410, noNeutral),
                 std::optional<size_t>(1));  // English by the looser match
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0410, Table{{0x040C, 1252}}),
                 std::optional<size_t>(0));
        QCOMPARE(CFileVersionInfo::ChooseTranslation(0x0407, Table{}), std::nullopt);

        QCOMPARE(CFileVersionInfo::FindTranslation(0x0C07, german, false), std::nullopt);
        QCOMPARE(CFileVersionInfo::FindTranslation(0x0C07, german, true), std::optional<size_t>(0));
    }

    void versionFromTheBuild() {
        CFileVersionInfo info;
        QVERIFY(info.CreateFromModule());
        QCOMPARE(info.GetFileVersion(), std::string("2.4"));
        QCOMPARE(info.FixedInfo().major, uint16_t{2});
        QCOMPARE(info.FixedInfo().minor, uint16_t{4});

        // A file without version information.
        QVERIFY(!info.Create("/bin/sh"));
        QCOMPARE(info.GetFileVersion(), std::string());

        // Without a translation table no text is read.
        VersionResource bare;
        bare.fixed = FixedFileVersion{1, 2, 0, 0};
        QVERIFY(info.CreateFromResource(bare, 0x0407));
        QCOMPARE(info.GetFileVersion(), std::string());
        QCOMPARE(info.FixedInfo().minor, uint16_t{2});

        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        QCOMPARE(sheet.windowTitle(), QString("Tarvelin V2.4"));
    }

    void headerPicture() {
        FirmwareFolder folder(true, false);
        CUpdaterPropertySheet sheet;
        QVERIFY(sheet.HasHeaderBitmap());
        QCOMPARE(sheet.HeaderBitmap().size(), QSize(435, 57));
        QCOMPARE(sheet.HeaderBitmap().format(), QImage::Format_RGB888);
        QCOMPARE(sheet.HeaderForWidth(435).toImage().convertToFormat(QImage::Format_RGB888),
                 sheet.HeaderBitmap());
        const QPixmap wide = sheet.HeaderForWidth(600);
        QCOMPARE(wide.size(), QSize(600, 57));

        CWizard97PropertySheet plain(100, Language::English);
        QVERIFY(!plain.AttachHeaderBitmap(":/no-such-picture.png"));
        QVERIFY(!plain.HasHeaderBitmap());
        QVERIFY(plain.pixmap(QWizard::BannerPixmap).isNull());
    }
};

static GuiTestRegistration registration("Controls",
                                        [] { return std::make_unique<ControlsTest>(); });

#include "ControlsTest.moc"
