// The control panel: the toolbar's buttons share the main window's actions
// and states, its tooltips, its rows when narrow, the tree keeping its width,
// and the focus and thumbnail rules of showing and hiding the panel.

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "app/control_panel.h"
#include "app/panel_toolbar.h"
#include "common/split_bar.h"
#include "tree/folder_tree.h"
#include "main_frame_fixture.h"
#include "res/command_table.h"
#include "res/toolbar_table.h"
#include "pane/thumbnail_pane.h"

using namespace fixture;
using namespace res;

class TestControlPanel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void toolbarTable();
    void buttonsRunTheCommandsAndShowTheirState();
    void tooltipsCarryTheKeys_data();
    void tooltipsCarryTheKeys();
    void narrowPanelWrapsTheToolbar();
    void treeKeepsItsWidth();
    void spaceInThePaneHidesThePanel();

private:
    std::unique_ptr<CMainFrame> StartFrame(AppSettings& settings)
    {
        auto frame = Start(settings);
        if (frame)
            static_cast<void>(
                QTest::qWaitForWindowActive(frame.get()));  // best effort: activation only helps
        return frame;
    }
    QTemporaryDir m_dir;
};

void TestControlPanel::initTestCase()
{
    QVERIFY(m_dir.isValid());
    WriteImages(m_dir.path(), {"a.jpg", "b.jpg", "c.jpg"});
}

void TestControlPanel::toolbarTable()
{
    QList<int> commands;
    int image = 0;
    for (const ToolbarEntry& entry : ToolbarButtons()) {
        commands << entry.command;
        if (entry.kind != ButtonKind::Separator)
            QCOMPARE(entry.image, image++);
        QCOMPARE(entry.kind == ButtonKind::Check,
                 FindCommand(entry.command) && FindCommand(entry.command)->checkable);
    }
    QCOMPARE(image, 18);
    QCOMPARE(commands, QList<int>({500, 501, 502, 0,   610, 611, 612, 613, 0, 630, 631, 632,
                                   633, 0,   640, 641, 0,   620, 621, 622, 0, 701, 0,   650}));
}

void TestControlPanel::buttonsRunTheCommandsAndShowTheirState()
{
    AppSettings settings = Settings(m_dir);
    auto frame = StartFrame(settings);
    QVERIFY(frame);
    CPanelToolBar* bar = frame->ControlPanel()->ToolBar();
    QVERIFY(bar->Button(kCmdSmallThumbnails)->isChecked());
    QVERIFY(bar->Button(kCmdFitBoth)->isChecked());
    QVERIFY(bar->Button(kCmdNoRotation)->isChecked());

    QTest::mouseClick(bar->Button(kCmdBigThumbnails), Qt::LeftButton);
    QCOMPARE(settings.thumbnailMode, ThumbnailMode::Big);
    QVERIFY(bar->Button(kCmdBigThumbnails)->isChecked());
    QVERIFY(!bar->Button(kCmdSmallThumbnails)->isChecked());

    // A pressed button of the fit group runs its command again and stays
    // pressed: after a zoom it brings the fitted image back.
    QTRY_VERIFY(Shown(*frame));
    frame->OnViewKey(Qt::Key_Plus, Qt::KeypadModifier);
    QVERIFY(frame->FitSuspended());
    QTest::mouseClick(bar->Button(kCmdFitBoth), Qt::LeftButton);
    QVERIFY(!frame->FitSuspended());
    QVERIFY(bar->Button(kCmdFitBoth)->isChecked());

    // The menu's command moves the button too.
    frame->RunCommand(kCmdRotateClockwise);
    QVERIFY(bar->Button(kCmdRotateClockwise)->isChecked());
    QVERIFY(!bar->Button(kCmdNoRotation)->isChecked());
    QTest::mouseClick(bar->Button(kCmdStartStopSlideShow), Qt::LeftButton);
    QVERIFY(frame->SlideShowRunning());
    QVERIFY(bar->Button(kCmdStartStopSlideShow)->isChecked());
    QTest::mouseClick(bar->Button(kCmdStartStopSlideShow), Qt::LeftButton);
    QVERIFY(!frame->SlideShowRunning());
    QVERIFY(!bar->Button(kCmdStartStopSlideShow)->isChecked());
}

void TestControlPanel::tooltipsCarryTheKeys_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("name");  // for screen readers
    QTest::newRow("gamma") << int(kCmdIncreaseGamma) << "Increase Gamma (Ctrl+Up)"
                           << "Increase Gamma";
    QTest::newRow("properties") << int(kCmdImageProperties) << "Image Properties... (F2)"
                                << "Image Properties";
    QTest::newRow("mnemonic") << int(kCmdNoFitting) << "No fitting (/)"
                              << "No fitting";
    QTest::newRow("no keys") << int(kCmdFitHorizontally) << "Fit Horizontally"
                             << "Fit Horizontally";
}

void TestControlPanel::tooltipsCarryTheKeys()
{
    QFETCH(int, command);
    QFETCH(QString, tip);
    QFETCH(QString, name);
    QCOMPARE(CPanelToolBar::ToolTipText(QString::fromUtf8(FindCommand(command)->menuText)), tip);
    QCOMPARE(CPanelToolBar::ButtonName(QString::fromUtf8(FindCommand(command)->menuText)), name);
}

void TestControlPanel::narrowPanelWrapsTheToolbar()
{
    AppSettings settings = Settings(m_dir);
    auto frame = StartFrame(settings);
    QVERIFY(frame);
    CControlPanel* panel = frame->ControlPanel();
    CPanelToolBar* bar = panel->ToolBar();
    const int oneRow = bar->HeightForWidth(2000);
    QCOMPARE(bar->HeightForWidth(1000), oneRow);
    const int rows = bar->HeightForWidth(120);
    QVERIFY(rows >= 4 * (oneRow - 4));

    frame->resize(200, 500);
    QTRY_COMPARE(bar->height(), bar->HeightForWidth(panel->width()));
    QVERIFY(bar->height() > oneRow);
    QCOMPARE(panel->Splitter()->y(), bar->height());
    // Every button is still there, inside the toolbar.
    for (const ToolbarEntry& entry : ToolbarButtons()) {
        if (entry.kind == ButtonKind::Separator)
            continue;
        QVERIFY(bar->Button(entry.command)->isVisible());
        QVERIFY(bar->rect().contains(bar->Button(entry.command)->geometry()));
    }
}

void TestControlPanel::treeKeepsItsWidth()
{
    AppSettings settings = Settings(m_dir);
    settings.panelSplitPos = 150;
    auto frame = StartFrame(settings);
    QVERIFY(frame);
    CFolderTree* tree = frame->ControlPanel()->FolderTree();
    CThumbView* pane = frame->ControlPanel()->ThumbnailPane();
    QTRY_COMPARE(tree->width(), 150);
    for (int width : {900, 500, 700}) {
        frame->resize(width, 600);
        QTRY_COMPARE(tree->width(), 150);
        QTRY_COMPARE(pane->x() + pane->width(), frame->ControlPanel()->width());
    }
}

void TestControlPanel::spaceInThePaneHidesThePanel()
{
    AppSettings settings = Settings(m_dir);
    auto frame = StartFrame(settings);
    QVERIFY(frame);
    CThumbView* pane = frame->ControlPanel()->ThumbnailPane();
    pane->setFocus();
    QTRY_VERIFY(pane->hasFocus());
    QTest::keyClick(pane, Qt::Key_Space);
    QVERIFY(!frame->ControlPanelShown());
    QTRY_VERIFY(frame->ImageView()->hasFocus());
    // Shown again, the pane shows the current image as selected.
    QTest::keyClick(frame->ImageView(), Qt::Key_Space);
    QVERIFY(frame->ControlPanelShown());
}

QTEST_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
