// The main window's start-up paths: a folder, a file shown alone (the
// panel hidden until asked for), a folder path, a missing file, and the
// first step after a start with a file, which lists its folder.

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/control_panel.h"
#include "tree/folder_tree.h"
#include "tests/ui/tree/folder_tree_test_util.h"
#include "pane/thumbnail_pane.h"
#include "main_frame_fixture.h"
#include "res/command_table.h"

using namespace fixture;
using namespace res;

class TestMainFrameStartup : public QObject {
    Q_OBJECT

private slots:
    void startWithFolder();
    void firstImageAskedForOnlyAtTheViewsSize_data();
    void firstImageAskedForOnlyAtTheViewsSize();
    void startWithFileHidesPanelUntilSpace();
    void startWithFolderPathOpensThatFolder();
    void startWithMissingFile();
    void pageDownAfterStartWithFileListsTheFolder();

private:
    QTemporaryDir m_dir;
    void SetUpFolder(std::vector<std::string> names = {"a.jpg", "b.jpg", "c.jpg"})
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        WriteImages(m_dir.path(), names);
    }
};

void TestMainFrameStartup::startWithFolder()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    QVERIFY(frame->ControlPanelShown());
    QVERIFY(frame->menuBar()->isVisible());
    QVERIFY(frame->NameBarVisible());
    QVERIFY(!frame->FolderPending());
    QCOMPARE(frame->Loader()->ItemCount(), 3);
    QCOMPARE(CurrentName(*frame), QString("a.jpg"));
    QTRY_VERIFY(Shown(*frame));
    QCOMPARE(frame->NameBarText(), QString("a"));
    // Changed decode options ask for the current image again.
    frame->ApplyLoaderOptions();
    QTRY_VERIFY(Shown(*frame));
}

void TestMainFrameStartup::firstImageAskedForOnlyAtTheViewsSize_data()
{
    QTest::addColumn<bool>("alone");
    QTest::newRow("folder") << false;
    QTest::newRow("file alone") << true;
}

void TestMainFrameStartup::firstImageAskedForOnlyAtTheViewsSize()
{
    QFETCH(bool, alone);
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    if (alone)
        settings.commandLineFile = PathIn(m_dir, "b.jpg");
    CMainFrame frame;
    QVERIFY(frame.Create(&settings));
    QCOMPARE(CurrentName(frame), QString(alone ? "b.jpg" : "a.jpg"));
    QCOMPARE(frame.Loader()->CurrentSlot().item, nullptr);
    frame.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QTRY_VERIFY(frame.Loader()->CurrentSlot().item != nullptr);
    const ViewRequest asked = frame.Loader()->CurrentSlot();
    QCOMPARE(asked.targetWidth, frame.ImageView()->ClientWidth());
    QCOMPARE(asked.targetHeight, frame.ImageView()->ClientHeight());
    QVERIFY(asked.targetWidth > 0 && asked.targetHeight > 0);
    QTRY_VERIFY(Shown(frame));
}

void TestMainFrameStartup::startWithFileHidesPanelUntilSpace()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    settings.commandLineFile = PathIn(m_dir, "b.jpg");
    auto frame = Start(settings);
    QVERIFY(frame);
    QVERIFY(!frame->ControlPanelShown());
    QVERIFY(!frame->menuBar()->isVisible());
    QVERIFY(!frame->NameBarVisible());
    QVERIFY(frame->FolderPending());
    QCOMPARE(frame->Loader()->ItemCount(), 1);
    QCOMPARE(CurrentName(*frame), QString("b.jpg"));
    QTRY_VERIFY(Shown(*frame));

    QTest::keyClick(frame.get(), Qt::Key_Space);
    QVERIFY(frame->ControlPanelShown());
    QVERIFY(frame->menuBar()->isVisible());
    QVERIFY(!frame->FolderPending());
    QCOMPARE(frame->Loader()->ItemCount(), 3);
    QCOMPARE(CurrentName(*frame), QString("a.jpg"));
    QVERIFY(!frame->NameBarVisible());
    QTRY_VERIFY(Shown(*frame));

    // Enter hides the panel and the menu bar again.
    QTest::keyClick(frame.get(), Qt::Key_Return);
    QVERIFY(!frame->ControlPanelShown());
    QVERIFY(!frame->menuBar()->isVisible());
}

void TestMainFrameStartup::startWithFolderPathOpensThatFolder()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    settings.startFolder.assign(1, '/');  // any other folder
    settings.commandLineFile = m_dir.path().toStdString();
    auto frame = Start(settings);
    QVERIFY(frame);
    QVERIFY(frame->ControlPanelShown());
    QVERIFY(frame->NameBarVisible());
    QVERIFY(!frame->FolderPending());
    QCOMPARE(frame->Loader()->ItemCount(), 3);
    QCOMPARE(CurrentName(*frame), QString("a.jpg"));
}

void TestMainFrameStartup::startWithMissingFile()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    settings.commandLineFile = PathIn(m_dir, "none.jpg");
    auto frame = Start(settings);
    QVERIFY(frame);
    QVERIFY(frame->ControlPanelShown());
    QVERIFY(!frame->NameBarVisible());
    QVERIFY(!frame->FolderPending());
    QVERIFY(!frame->CurrentItem());
    QCOMPARE(frame->Loader()->ItemCount(), 0);
    // Space on an empty start does not list anything.
    QTest::keyClick(frame.get(), Qt::Key_Space);
    QVERIFY(!frame->ControlPanelShown());
    QVERIFY(!frame->CurrentItem());

    // A start folder that is a file ends the start silently.
    AppSettings bad = Settings(m_dir);
    bad.startFolder = PathIn(m_dir, "a.jpg");
    CMainFrame failed;
    QVERIFY(!failed.Create(&bad));
}

void TestMainFrameStartup::pageDownAfterStartWithFileListsTheFolder()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    settings.commandLineFile = PathIn(m_dir, "b.jpg");
    auto frame = Start(settings);
    QVERIFY(frame);
    frame->OnViewKey(Qt::Key_PageDown, Qt::NoModifier);
    QVERIFY(!frame->FolderPending());
    QCOMPARE(frame->Loader()->ItemCount(), 3);
    QCOMPARE(CurrentName(*frame), QString("c.jpg"));
    QVERIFY(!frame->ControlPanelShown());
}

QTEST_MAIN(TestMainFrameStartup)
#include "tst_mainframestartup.moc"
