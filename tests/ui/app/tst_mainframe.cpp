// The main window: stepping, fit and zoom, gamma, the name
// bar, full screen, the ESC rule, the accelerators, the menus, the rename
// question, a folder that cannot be listed and the display worker's wake.

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
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

class TestMainFrame : public QObject {
    Q_OBJECT

private slots:
    void pageKeysStopAtTheEnds();
    void stepKeysPassAFileThatCannotBeShown();
    void zoomWithFitBothSuspendsFitting();
    void zoomWithoutFittingAndLimits();
    void fitSuspendedRules();
    void commandsWithoutImageOnlyChangeSettings();
    void gammaSteps();
    void nameBar_data();
    void nameBar();
    void nameBarToggle();
    void escapeRules();
    void fullScreenTwiceRestoresRectangle();
    void acceleratorsOffLetKeysThrough();
    void keypadAcceleratorsWithoutShortcutMap();
    void menusAndCheckMarks();
    void hidingPanelMovesFocusToView();
    void renameQuestionAnswersYesOnEnter();
    void unreadableFolderSaysWhyItIsEmpty();
    void displayWakeShowsTheImageWithoutTheTimers();

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

// Asked for before the window is laid out, the first image was decoded at
// its own size and dropped at once.

void TestMainFrame::pageKeysStopAtTheEnds()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    struct Step {
        int key;
        const char* name;
    };
    const Step steps[] = {
        {Qt::Key_PageUp, "a.jpg"},   {Qt::Key_PageDown, "b.jpg"}, {Qt::Key_End, "c.jpg"},
        {Qt::Key_PageDown, "c.jpg"}, {Qt::Key_Home, "a.jpg"},     {Qt::Key_Home, "a.jpg"},
        {Qt::Key_PageDown, "b.jpg"}, {Qt::Key_PageUp, "a.jpg"},   {Qt::Key_End, "c.jpg"},
        {Qt::Key_End, "c.jpg"},
    };
    for (const Step& step : steps) {
        QTRY_VERIFY(Shown(*frame));
        const QString before = CurrentName(*frame);
        QTest::keyClick(frame->ImageView(), Qt::Key(step.key));
        QCOMPARE(CurrentName(*frame), QString(step.name));
        // A key that goes nowhere leaves the shown image alone.
        if (before == step.name)
            QVERIFY(Shown(*frame));
    }
}

// Regression: with the panel hidden, stepping stopped for good at a file
// that cannot be decoded, since the view forwarded keys only with an image.
void TestMainFrame::stepKeysPassAFileThatCannotBeShown()
{
    SetUpFolder({"a.jpg", "c.jpg"});
    QFile broken(m_dir.path() + "/b.jpg");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("\xff\xd8\xff\xe0 not a header");
    broken.close();
    AppSettings settings = Settings(m_dir);
    settings.commandLineFile = PathIn(m_dir, "a.jpg");
    auto frame = Start(settings);
    QVERIFY(frame);
    QVERIFY(!frame->ControlPanelShown());
    const std::pair<Qt::Key, const char*> steps[] = {
        {Qt::Key_PageDown, "b.jpg"}, {Qt::Key_PageDown, "c.jpg"}, {Qt::Key_PageUp, "b.jpg"},
        {Qt::Key_Home, "a.jpg"},     {Qt::Key_End, "c.jpg"},      {Qt::Key_PageUp, "b.jpg"},
        {Qt::Key_End, "c.jpg"},
    };
    for (const auto& [key, name] : steps) {
        QTest::keyClick(frame->ImageView(), key);
        QCOMPARE(CurrentName(*frame), QString(name));
        if (QString(name) == "b.jpg") {
            QTest::qWait(3 * CMainFrame::kImageTimerMs);
            QVERIFY(!frame->ImageView()->Image());
        }
    }
}

void TestMainFrame::zoomWithFitBothSuspendsFitting()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    CImageView* view = frame->ImageView();
    QTRY_VERIFY(Shown(*frame));
    // Fitted both ways, the 96 x 64 image fills the view in one direction.
    QVERIFY(view->Image()->Width() == view->width() || view->Image()->Height() == view->height());

    QTest::keyClick(view, Qt::Key_Plus, Qt::KeypadModifier);
    QVERIFY(frame->FitSuspended());
    QTRY_VERIFY(Shown(*frame));
    QCOMPARE(view->Image()->Width(), 96);
    QCOMPARE(view->Factor(), 1);

    QTest::keyClick(view, Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(view->Factor(), 2);
    QVERIFY(!view->Reduce());
    QTest::keyClick(view, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(view, Qt::Key_Minus, Qt::KeypadModifier);
    QCOMPARE(view->Factor(), 2);
    QVERIFY(view->Reduce());
    // The main keyboard's + and - are not zoom keys.
    QTest::keyClick(view, Qt::Key_Plus);
    QCOMPARE(view->Factor(), 2);
    QVERIFY(view->Reduce());
    // A wheel notch forward zooms in like keypad +.
    frame->OnWheelNotch(true);
    QCOMPARE(view->Factor(), 1);
    QVERIFY(!view->Reduce());
    // The check marks show the fit flags while fitting is suspended.
    QVERIFY(frame->Action(kCmdFitBoth)->isChecked());
}

void TestMainFrame::zoomWithoutFittingAndLimits()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    CImageView* view = frame->ImageView();
    frame->RunCommand(kCmdNoFitting);
    QTRY_VERIFY(Shown(*frame));
    QCOMPARE(view->Image()->Width(), 96);
    frame->OnViewKey(Qt::Key_Plus, Qt::KeypadModifier);
    QVERIFY(!frame->FitSuspended());
    QCOMPARE(view->Factor(), 2);
    for (int i = 0; i < 25; ++i)
        frame->OnViewKey(Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(view->Factor(), CImageView::kMaxEnlargeFactor);
    for (int i = 0; i < 40; ++i)
        frame->OnViewKey(Qt::Key_Minus, Qt::KeypadModifier);
    QVERIFY(view->Reduce());
    QCOMPARE(view->Factor(), CImageView::kMaxReduceFactor);
}

void TestMainFrame::fitSuspendedRules()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    CImageView* view = frame->ImageView();
    const auto zoomIn = [&] {
        QTRY_VERIFY(Shown(*frame));
        frame->OnViewKey(Qt::Key_Plus, Qt::KeypadModifier);
        QVERIFY(frame->FitSuspended());
        QTRY_VERIFY(Shown(*frame));
    };
    zoomIn();
    // Flips keep fitting suspended (and still apply).
    frame->RunCommand(kCmdFlipHorizontally);
    QVERIFY(frame->FitSuspended());
    QVERIFY(settings.flipHorizontally);
    QTRY_VERIFY(Shown(*frame));
    QCOMPARE(view->Image()->Width(), 96);
    // A resize does not ask again while suspended.
    frame->resize(frame->width() + 40, frame->height() + 30);
    QVERIFY(frame->FitSuspended());
    QTRY_VERIFY(Shown(*frame));
    QCOMPARE(view->Image()->Width(), 96);
    // A new rotation ends it.
    frame->RunCommand(kCmdRotateClockwise);
    QVERIFY(!frame->FitSuspended());
    QTRY_VERIFY(Shown(*frame));
    QCOMPARE(view->Image()->Height(), view->height());
    // Fit Both while both flags are set brings the fitted image back.
    zoomIn();
    QCOMPARE(view->Image()->Height(), 96);
    frame->RunCommand(kCmdFitBoth);
    QVERIFY(!frame->FitSuspended());
    QTRY_VERIFY(Shown(*frame));
    QCOMPARE(view->Image()->Height(), view->height());
    // Stepping ends it.
    zoomIn();
    frame->OnViewKey(Qt::Key_PageDown, Qt::NoModifier);
    QVERIFY(!frame->FitSuspended());
    // So does No fitting, which then leaves the image at its own size.
    zoomIn();
    frame->RunCommand(kCmdNoFitting);
    QVERIFY(!frame->FitSuspended());
    frame->OnViewKey(Qt::Key_Plus, Qt::KeypadModifier);
    QVERIFY(!frame->FitSuspended());
}

void TestMainFrame::commandsWithoutImageOnlyChangeSettings()
{
    SetUpFolder({});
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    QVERIFY(!frame->CurrentItem());
    frame->RunCommand(kCmdFitHorizontally);
    QCOMPARE(int(settings.fitHorizontally), 1);
    QCOMPARE(int(settings.fitVertically), 0);
    QVERIFY(frame->Action(kCmdFitHorizontally)->isChecked());
    QVERIFY(!frame->Action(kCmdFitBoth)->isChecked());
    frame->RunCommand(kCmdRotateUpsideDown);
    QCOMPARE(settings.rotation, 2);
    frame->RunCommand(kCmdFlipVertically);
    QCOMPARE(int(settings.flipVertically), 1);
    frame->RunCommand(kCmdBigThumbnails);
    QCOMPARE(settings.thumbnailMode, ThumbnailMode::Big);
    frame->RunCommand(kCmdList);
    QCOMPARE(settings.thumbnailMode, ThumbnailMode::List);
    QVERIFY(frame->Action(kCmdList)->isChecked());
    // A zoom step before any image exists only suspends fitting.
    frame->OnViewKey(Qt::Key_Plus, Qt::KeypadModifier);
    QVERIFY(frame->FitSuspended());
    QCOMPARE(frame->ImageView()->Factor(), 1);
    QVERIFY(!frame->CurrentItem());
    QVERIFY(!frame->ImageView()->Image());
}

void TestMainFrame::gammaSteps()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    CImageView* view = frame->ImageView();
    QCOMPARE(view->Gamma(), -1.0);
    frame->RunCommand(kCmdIncreaseGamma);
    QCOMPARE(view->Gamma(), 0.9433962264150942);
    for (int i = 2; i < 80; ++i)
        frame->RunCommand(kCmdIncreaseGamma);
    QVERIFY(view->Gamma() > 0.01);
    frame->RunCommand(kCmdIncreaseGamma);
    QCOMPARE(view->Gamma(), 0.01);

    QTest::keyClick(frame.get(), Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(view->Gamma(), -1.0);
    QTest::keyClick(frame.get(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(view->Gamma(), 1.06);
    for (int i = 2; i < 28; ++i)
        frame->RunCommand(kCmdDecreaseGamma);
    QVERIFY(view->Gamma() < 5.0);
    frame->RunCommand(kCmdDecreaseGamma);
    QCOMPARE(view->Gamma(), 5.0);
    QTest::keyClick(frame.get(), Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(view->Gamma(), -1.0);
    QTest::keyClick(frame.get(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(view->Gamma(), 0.9433962264150942);
}

void TestMainFrame::nameBar_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("shown");
    QTest::newRow("extension cut") << "x.jpg"
                                   << "x";
    QTest::newRow("last dot only") << "x.y.jpeg"
                                   << "x.y";
    QTest::newRow("leading dot kept") << ".jpg"
                                      << ".jpg";
    QTest::newRow("upper case") << "PHOTO 1.JPG"
                                << "PHOTO 1";
}

void TestMainFrame::nameBar()
{
    QFETCH(QString, file);
    QFETCH(QString, shown);
    SetUpFolder({file.toStdString()});
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    QCOMPARE(frame->NameBarText(), shown);
    QCOMPARE(QString::fromStdString(NameWithoutExtension("noextension")), QString("noextension"));
}

void TestMainFrame::nameBarToggle()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    const int viewHeight = frame->ImageView()->height();
    QTest::keyClick(frame.get(), Qt::Key_N, Qt::ControlModifier);
    QVERIFY(!frame->NameBarVisible());
    QCOMPARE(int(settings.nameBar), 0);
    QVERIFY(!frame->Action(kCmdNameBar)->isChecked());
    QCOMPARE(frame->ImageView()->height(), viewHeight + frame->NameBarHeight());
    frame->RunCommand(kCmdNameBar);
    QVERIFY(frame->NameBarVisible());
    QCOMPARE(frame->ImageView()->height(), viewHeight);
}

void TestMainFrame::escapeRules()
{
    SetUpFolder();
    {
        AppSettings settings = Settings(m_dir);
        auto frame = Start(settings);
        QVERIFY(frame);
        // A modal dialog keeps ESC for itself.
        QDialog dialog(frame.get());
        QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
        dialog.exec();
        QTest::qWait(0);
        QVERIFY(frame->isVisible());
        // Accelerators off: ESC reaches the editor.
        frame->SetAcceleratorsEnabled(false);
        QTest::keyClick(frame->ImageView(), Qt::Key_Escape);
        QTest::qWait(0);
        QVERIFY(frame->isVisible());
        frame->SetAcceleratorsEnabled(true);
        QTest::keyClick(frame->ImageView(), Qt::Key_Escape);
        QTRY_VERIFY(!frame->isVisible());
    }
    {
        AppSettings settings = Settings(m_dir);
        auto frame = Start(settings);
        QVERIFY(frame);
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        // Alt gives the menu bar the focus in keyboard mode: ESC leaves that
        // mode and does not end the program.
        QTest::keyClick(frame.get(), Qt::Key_Alt);
        QTRY_VERIFY(frame->menuBar()->hasFocus());
        QTest::keyClick(frame->menuBar(), Qt::Key_Escape);
        QTest::qWait(0);
        QVERIFY(frame->isVisible());
    }
    {
        AppSettings settings = Settings(m_dir);
        settings.exitByEsc = 0;
        auto frame = Start(settings);
        QVERIFY(frame);
        QTest::keyClick(frame->ImageView(), Qt::Key_Escape);
        QTest::qWait(0);
        QVERIFY(frame->isVisible());
    }
}

void TestMainFrame::fullScreenTwiceRestoresRectangle()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    const QRect before = frame->geometry();
    QCOMPARE(before, settings.windowRect.ToQRect());
    frame->RunCommand(kCmdFullScreen);
    QVERIFY(frame->isFullScreen());
    QVERIFY(frame->Action(kCmdFullScreen)->isChecked());
    QCOMPARE(settings.windowRect.ToQRect(), before);
    frame->RunCommand(kCmdFullScreen);
    QVERIFY(!frame->isFullScreen());
    QTRY_COMPARE(frame->geometry(), before);
    QVERIFY(frame->ControlPanelShown());
}

void TestMainFrame::acceleratorsOffLetKeysThrough()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    frame->SetAcceleratorsEnabled(false);
    QTest::keyClick(frame.get(), Qt::Key_F4);
    QTest::keyClick(frame.get(), Qt::Key_Space);
    QCOMPARE(settings.rotation, 0);
    QVERIFY(frame->ControlPanelShown());
    frame->SetAcceleratorsEnabled(true);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {{Qt::Key_F4, {}},
                {Qt::Key_H, Qt::ControlModifier},
                {Qt::Key_F8, {}},
                {Qt::Key_Slash, Qt::KeypadModifier}};
    for (const auto& k : keys)
        QTest::keyClick(frame.get(), k.key, k.modifiers);
    QCOMPARE(settings.rotation, 1);
    QCOMPARE(int(settings.flipHorizontally), 1);
    QCOMPARE(settings.thumbnailMode, ThumbnailMode::Big);
    QCOMPARE(int(settings.fitHorizontally + settings.fitVertically), 0);
    QTest::keyClick(frame.get(), Qt::Key_Asterisk, Qt::KeypadModifier);
    QCOMPARE(int(settings.fitHorizontally + settings.fitVertically), 2);
}

// The keys as X11 delivers them: Qt's shortcut map there never matches a
// keypad key, so the keypad accelerators must work without it.
void TestMainFrame::keypadAcceleratorsWithoutShortcutMap()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    QTRY_VERIFY(Shown(*frame));
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers | Qt::KeypadModifier);
        QApplication::sendEvent(frame->ImageView(), &event);
    };
    press(Qt::Key_Slash);
    QCOMPARE(int(settings.fitHorizontally + settings.fitVertically), 0);
    press(Qt::Key_Asterisk);
    QCOMPARE(int(settings.fitHorizontally + settings.fitVertically), 2);
    press(Qt::Key_Enter);
    QVERIFY(!frame->ControlPanelShown());
    press(Qt::Key_Enter, Qt::AltModifier);
    QVERIFY(frame->isFullScreen());
    // Keypad + is no accelerator: it reaches the view and zooms.
    QTRY_VERIFY(Shown(*frame));
    press(Qt::Key_Plus);
    QVERIFY(frame->FitSuspended());
}

void TestMainFrame::menusAndCheckMarks()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    QStringList titles;
    for (QAction* menu : frame->menuBar()->actions())
        titles << menu->text();
    QCOMPARE(titles, QStringList({"&File", "&View", "&Tools", "&Help"}));

    // A right click on the image opens the context menu: its items as the
    // user reads them ("-" a separator), and the one chosen is carried out.
    QStringList shownTexts;
    QTimer::singleShot(0, frame.get(), [&] {
        QMenu* menu = frame->ContextMenu();
        for (QAction* action : menu->actions())
            shownTexts << (action->isSeparator() ? QString("-") : action->text());
        for (QAction* action : menu->actions())
            if (action->text() == "Rotate Clockwise\tF4")
                action->trigger();
        menu->close();
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 10),
                            frame->ImageView()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(frame->ImageView(), &click);
    QCOMPARE(shownTexts,
             QStringList({"Control Panel\tSpace",
                          "Full Screen\tAlt+Enter",
                          "Name Bar\tCtrl+N",
                          "-",
                          "Copy Image\tCtrl+C",
                          "-",
                          "No fitting\t/",
                          "Fit Horizontally",
                          "Fit Vertically",
                          "Fit Both Directions\t*",
                          "-",
                          "Increase Gamma\tCtrl+Up",
                          "Decrease Gamma\tCtrl+Down",
                          "Reset Gamma\tCtrl+Left",
                          "-",
                          "No &Rotation\tF3",
                          "Rotate Clockwise\tF4",
                          "Rotate Upside-down\tF5",
                          "Rotate Counter-clockwise\tF6",
                          "-",
                          "Flip Horizontally\tCtrl+H",
                          "Flip Vertically\tCtrl+V",
                          "-",
                          "Start/Stop Slide Show",
                          "-",
                          "Image Properties...\tF2"}));
    QVERIFY(frame->Action(kCmdRotateClockwise)->isChecked());
    QVERIFY(!frame->Action(kCmdNoRotation)->isChecked());
    // The main menu keeps its mnemonic marks.
    QCOMPARE(frame->Action(kCmdFitBoth)->text(), QString("Fit &Both Directions\t*"));
    frame->RunCommand(kCmdNoRotation);

    // One action per command; the menu text keeps the keys after its tab.
    QCOMPARE(frame->Action(kCmdIncreaseGamma)->text(), QString("Increase Gamma\tCtrl+Up"));
    QCOMPARE(frame->Action(kCmdResetGamma)->shortcuts().size(), 2);
    QCOMPARE(frame->Action(kCmdCopyImage)->shortcuts().size(), 2);

    QVERIFY(frame->Action(kCmdFitBoth)->isChecked());
    QVERIFY(frame->Action(kCmdNoRotation)->isChecked());
    QVERIFY(frame->Action(kCmdSmallThumbnails)->isChecked());
    frame->RunCommand(kCmdRotateCounterClockwise);
    QVERIFY(frame->Action(kCmdRotateCounterClockwise)->isChecked());
    QVERIFY(!frame->Action(kCmdNoRotation)->isChecked());
    frame->RunCommand(kCmdStartStopSlideShow);
    QVERIFY(frame->Action(kCmdStartStopSlideShow)->isChecked());
    frame->RunCommand(kCmdStartStopSlideShow);
    QVERIFY(!frame->Action(kCmdStartStopSlideShow)->isChecked());
}

void TestMainFrame::hidingPanelMovesFocusToView()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    auto* inPanel = new QWidget(frame->ControlPanel());
    inPanel->setFocusPolicy(Qt::StrongFocus);
    inPanel->show();
    inPanel->setFocus();
    QTRY_VERIFY(inPanel->hasFocus());
    QTest::keyClick(inPanel, Qt::Key_Space);
    QVERIFY(!frame->ControlPanelShown());
    QVERIFY(!frame->menuBar()->isVisible());
    QTRY_VERIFY(frame->ImageView()->hasFocus());
}

// Enter on the rename-extension question renames, as Yes is its default.
void TestMainFrame::renameQuestionAnswersYesOnEnter()
{
    SetUpFolder();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QTimer enter;
    connect(&enter, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            QTest::keyClick(box, Qt::Key_Return);
    });
    enter.start(10);
    QVERIFY(frame && frame->LoaderHost()->AskRenameWithoutJpegExtension("a.png"));
}

// A folder the user may not read is chosen; the pane says why it is empty.
void TestMainFrame::unreadableFolderSaysWhyItIsEmpty()
{
    SetUpFolder();
    const QByteArray locked = QFile::encodeName(m_dir.path()) + "/locked";
    QVERIFY(mkdir(locked.constData(), 0) == 0);
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    CFolderTree* tree = frame->ControlPanel()->FolderTree();
    CThumbView* pane = frame->ControlPanel()->ThumbnailPane();
    QTreeWidgetItem* shown = tree->currentItem();
    // The tests run as root, who reads any folder: the choice is made with
    // an ordinary user's file access (the thread's fsuid, which also drops
    // root's power to read anything), through the program's own calls.
    setfsuid(65534);
    tree->setCurrentItem(treetest::Child(shown, QStringLiteral("locked")));
    setfsuid(geteuid());
    QCOMPARE(pane->Notice(), QString("Can't open this folder: Permission denied"));
    QCOMPARE(pane->EntryCount(), 0);
    tree->setCurrentItem(shown);
    QCOMPARE(pane->Notice(), QString());
    QCOMPARE(pane->EntryCount(), 3);
    rmdir(locked.constData());
}

// The image and its rows reach the view by the worker's posted wake alone (no
// timer event is delivered here); a wake after a step elsewhere shows nothing.
void TestMainFrame::displayWakeShowsTheImageWithoutTheTimers()
{
    SetUpFolder({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    QFile broken(m_dir.path() + "/e.jpg");
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("\xff\xd8\xff\xe0 not a header") > 0);
    broken.close();
    AppSettings settings = Settings(m_dir);
    auto frame = Start(settings);
    QVERIFY(frame);
    QTRY_VERIFY(Shown(*frame));
    const auto waitWithoutEvents = [](const CItemEvent& event) {
        for (int i = 0; i < 10000 && !event.IsSet(); ++i)
            QThread::msleep(1);
        return event.IsSet();
    };
    CImageView* view = frame->ImageView();
    frame->StepTo(frame->Loader()->LastItem()->previous);  // d: not decoded ahead from a
    QVERIFY(waitWithoutEvents(frame->CurrentItem()->displayDone));
    QVERIFY(!view->Image());
    QCoreApplication::sendPostedEvents();
    QVERIFY(Shown(*frame));
    QCOMPARE(view->LastDirtyRect(), (DirtyRect {0, 0, view->Image()->Width(), view->Image()->Height()}));
    frame->StepTo(frame->Loader()->FirstItem());
    QVERIFY(waitWithoutEvents(frame->CurrentItem()->displayReady));
    frame->StepTo(frame->Loader()->LastItem());
    QCoreApplication::sendPostedEvents();
    QVERIFY(!view->Image());
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
