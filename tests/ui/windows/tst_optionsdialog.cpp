// The Options dialog: its boxes, the effects of OK (one per changed option,
// none without changes), the association written only when the box differs
// from the platform, and the main window's command end to end.

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "res/command_table.h"
#include "tests/ui/app/main_frame_fixture.h"
#include "desktop/desktop_association.h"
#include "windows/options_dialog.h"

namespace {

struct Calls {
    int display = 0;
    int renew = 0;
    int asked = 0;
    QList<bool> associations;
};

OptionsEffects Recording(Calls& calls, bool associatedNow)
{
    OptionsEffects effects;
    effects.setUpDisplayBitmap = [&calls] { ++calls.display; };
    effects.renewDecoding = [&calls] { ++calls.renew; };
    effects.isAssociated = [&calls, associatedNow] {
        ++calls.asked;
        return associatedNow;
    };
    effects.setAssociated = [&calls](bool on) { calls.associations << on; };
    return effects;
}

// Accepts the next modal dialog, after the test's changes to it.
void AcceptNextDialog(std::function<void(COptionsDlg&)> change = {})
{
    QTimer::singleShot(0, [change] {
        auto* dialog = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        if (change)
            change(*dialog);
        dialog->accept();
    });
}

}  // namespace

class TestOptionsDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The association is the platform's: every test runs on folders of its own.
        QVERIFY(m_xdg.isValid());
        qputenv("XDG_DATA_HOME", (m_xdg.path() + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_xdg.path() + "/config").toUtf8());
        qputenv("XDG_DATA_DIRS", (m_xdg.path() + "/system").toUtf8());
        qputenv("XDG_CONFIG_DIRS", (m_xdg.path() + "/system-config").toUtf8());
    }

    void boxesInOrderAndExchange()
    {
        COptionsDlg dialog;
        const QStringList texts = {"Enable Dithering",
                                   "Enable High-quality Subsampling",
                                   "Zoom with Interpolation",
                                   "Exit by ESC key",
                                   "Allow to use Exif to get thumbnails",
                                   "Use the shared thumbnail cache",
                                   "Rotate by Exif orientation",
                                   "Use embedded colour profiles",
                                   "Associate with *.JPG and *.JPEG Files"};
        for (int i = 0; i < 9; ++i)
            QCOMPARE(dialog.Boxes()[size_t(i)]->text(), texts[i]);
        QCOMPARE(dialog.windowTitle(), QString("Options"));
        dialog.dithering = 1;
        dialog.exifThumbnails = 1;
        dialog.show();
        // The picture options start on, as their settings do.
        const QList<bool> shown = {true, false, false, false, true, false, true, true, false};
        for (int i = 0; i < 9; ++i)
            QCOMPARE(dialog.Boxes()[size_t(i)]->isChecked(), shown[i]);
        dialog.Boxes()[0]->setChecked(false);
        dialog.Boxes()[5]->setChecked(true);
        dialog.Boxes()[7]->setChecked(false);
        dialog.Boxes()[COptionsDlg::kAssociateBox]->setChecked(true);
        dialog.accept();
        QCOMPARE(dialog.dithering, 0);
        QCOMPARE(dialog.sharedThumbnailCache, 1);
        QCOMPARE(dialog.associate, 1);
        QCOMPARE(dialog.exifThumbnails, 1);
        QCOMPARE(dialog.autoOrient, 1);
        QCOMPARE(dialog.useColourProfiles, 0);
    }

    void eachChangedOptionHasItsEffect_data()
    {
        // The eight option members as the dialog leaves them, against the
        // defaults 1 1 1 1 0 1 1 1.
        QTest::addColumn<QList<int>>("members");
        QTest::addColumn<int>("display");
        QTest::addColumn<int>("renew");
        QTest::newRow("no change") << QList<int> {1, 1, 1, 1, 0, 1, 1, 1} << 0 << 0;
        QTest::newRow("dithering") << QList<int> {0, 1, 1, 1, 0, 1, 1, 1} << 1 << 0;
        QTest::newRow("subsampling") << QList<int> {1, 0, 1, 1, 0, 1, 1, 1} << 0 << 1;
        QTest::newRow("interpolation") << QList<int> {1, 1, 0, 1, 0, 1, 1, 1} << 0 << 1;
        QTest::newRow("Exif thumbnails") << QList<int> {1, 1, 1, 1, 1, 1, 1, 1} << 0 << 1;
        QTest::newRow("shared cache") << QList<int> {1, 1, 1, 1, 0, 0, 1, 1} << 0 << 1;
        QTest::newRow("exit by ESC only") << QList<int> {1, 1, 1, 0, 0, 1, 1, 1} << 0 << 0;
        QTest::newRow("Exif orientation") << QList<int> {1, 1, 1, 1, 0, 1, 0, 1} << 0 << 1;
        QTest::newRow("colour profiles") << QList<int> {1, 1, 1, 1, 0, 1, 1, 0} << 0 << 1;
        QTest::newRow("three decode options: three renewals")
            << QList<int> {1, 0, 0, 1, 1, 1, 1, 1} << 0 << 3;
        QTest::newRow("everything") << QList<int> {0, 0, 0, 0, 1, 0, 0, 0} << 1 << 6;
    }
    void eachChangedOptionHasItsEffect()
    {
        QFETCH(QList<int>, members);
        QFETCH(int, display);
        QFETCH(int, renew);
        AppSettings settings = AppSettings::Defaults(800, 600, "/");
        COptionsDlg dialog;
        dialog.dithering = members[0];
        dialog.highQualitySubsampling = members[1];
        dialog.zoomInterpolation = members[2];
        dialog.exitByEsc = members[3];
        dialog.exifThumbnails = members[4];
        dialog.sharedThumbnailCache = members[5];
        dialog.autoOrient = members[6];
        dialog.useColourProfiles = members[7];
        Calls calls;
        ApplyOptions(dialog, settings, Recording(calls, false));
        QCOMPARE(calls.display, display);
        QCOMPARE(calls.renew, renew);
        QCOMPARE(calls.associations, QList<bool>());
        const QList<int> stored
            = {settings.dithering,  settings.highQualitySubsampling, settings.zoomInterpolation,
               settings.exitByEsc,  settings.exifThumbnails,         settings.sharedThumbnailCache,
               settings.autoOrient, settings.useColourProfiles};
        QCOMPARE(stored, members);
    }

    void associationChangesOnlyWhenTheBoxDiffers_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<bool>("platform");
        QTest::addColumn<QList<bool>>("writes");
        QTest::newRow("checked, not associated") << 1 << false << QList<bool> {true};
        QTest::newRow("unchecked, associated") << 0 << true << QList<bool> {false};
        QTest::newRow("checked, associated") << 1 << true << QList<bool> {};
        QTest::newRow("unchecked, not associated") << 0 << false << QList<bool> {};
    }
    void associationChangesOnlyWhenTheBoxDiffers()
    {
        QFETCH(int, box);
        QFETCH(bool, platform);
        QFETCH(QList<bool>, writes);
        AppSettings settings = AppSettings::Defaults(800, 600, "/");
        COptionsDlg dialog;
        dialog.dithering = settings.dithering;
        dialog.highQualitySubsampling = settings.highQualitySubsampling;
        dialog.zoomInterpolation = settings.zoomInterpolation;
        dialog.exitByEsc = settings.exitByEsc;
        dialog.sharedThumbnailCache = settings.sharedThumbnailCache;
        dialog.associate = box;
        Calls calls;
        ApplyOptions(dialog, settings, Recording(calls, platform));
        QCOMPARE(calls.asked, 1);
        QCOMPARE(calls.associations, writes);
    }

    // Through the main window: OK without changes decodes and writes
    // nothing; checking the association box makes Lumvane the handler.
    void mainWindowOptionsCommand()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"a.jpg", "b.jpg"});
        AppSettings settings = fixture::Settings(dir);
        auto frame = fixture::Start(settings);
        QVERIFY(frame);
        QTRY_VERIFY(fixture::Shown(*frame));
        CImageBitmap* shown = frame->ImageView()->Image();

        AcceptNextDialog();
        frame->RunCommand(res::kCmdOptions);
        QCOMPARE(frame->ImageView()->Image(), shown);
        QVERIFY(!std::filesystem::exists((m_xdg.path() + "/config").toStdString()));
        QVERIFY(!std::filesystem::exists((m_xdg.path() + "/data").toStdString()));

        AcceptNextDialog([](COptionsDlg& d) { d.Boxes()[2]->setChecked(false); });
        frame->RunCommand(res::kCmdOptions);
        QCOMPARE(settings.zoomInterpolation, uint8_t(0));
        QTRY_VERIFY(fixture::Shown(*frame));

        AcceptNextDialog([](COptionsDlg& d) { d.Boxes()[COptionsDlg::kAssociateBox]->setChecked(true); });
        frame->RunCommand(res::kCmdOptions);
        QVERIFY(CDesktopAssociation(XdgDirs::FromEnvironment(), "/bin/true").IsAssociated());
        AcceptNextDialog([](COptionsDlg& d) {
            QVERIFY(d.Boxes()[COptionsDlg::kAssociateBox]->isChecked());
            d.Boxes()[COptionsDlg::kAssociateBox]->setChecked(false);
        });
        frame->RunCommand(res::kCmdOptions);
        QVERIFY(!CDesktopAssociation(XdgDirs::FromEnvironment(), "/bin/true").IsAssociated());
    }

private:
    QTemporaryDir m_xdg;
};

QTEST_MAIN(TestOptionsDialog)
#include "tst_optionsdialog.moc"
