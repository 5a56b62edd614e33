// The slide show: counting only while the image is complete, the ends of
// the list, stopping, and the Adjust Slide Show dialog.

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "windows/slide_show_dialog.h"
#include "app/control_panel.h"
#include "tree/folder_tree.h"
#include "main_frame_fixture.h"
#include "res/command_table.h"

using namespace fixture;
using namespace res;

namespace {
// A main window whose current image is complete only when the test says so.
class CTestFrame : public CMainFrame {
public:
    bool complete = true;

protected:
    bool CurrentImageComplete() const override { return complete; }
};
}  // namespace

class TestSlideShow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void ticksCountOnlyWhileComplete_data();
    void ticksCountOnlyWhileComplete();
    void endsOfTheList_data();
    void endsOfTheList();
    void oneImageNeverChanges();
    void startWithFileDoesNotAdvance();
    void timerStepsThroughTheFolder();
    void folderChangeStopsIt();
    void dialogControls();
    void adjustCommandAppliesOnlyOnOk();

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_single;
};

void TestSlideShow::initTestCase()
{
    QVERIFY(m_dir.isValid() && m_single.isValid());
    WriteImages(m_dir.path(), {"a.jpg", "b.jpg", "c.jpg"});
    WriteImages(m_single.path(), {"only.jpg"});
}

void TestSlideShow::ticksCountOnlyWhileComplete_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("incompleteTicks");
    QTest::newRow("fast decode, 1 s") << 1 << 0;
    QTest::newRow("slow decode, 1 s") << 1 << 10;
    QTest::newRow("fast decode, 5 s") << 5 << 0;
    QTest::newRow("2 s decode, 5 s") << 5 << 10;
}

void TestSlideShow::ticksCountOnlyWhileComplete()
{
    QFETCH(int, delay);
    QFETCH(int, incompleteTicks);
    AppSettings settings = Settings(m_dir);
    settings.slideDelay = delay;
    auto frame = Start<CTestFrame>(settings);
    QVERIFY(frame);
    frame->complete = false;
    for (int i = 0; i < incompleteTicks; ++i)
        frame->OnSlideTick();
    QCOMPARE(frame->SlideTicks(), 0);
    frame->complete = true;
    const int needed = delay * CMainFrame::kSlideTicksPerSecond;
    for (int i = 1; i < needed; ++i)
        frame->OnSlideTick();
    QCOMPARE(CurrentName(*frame), QString("a.jpg"));
    QCOMPARE(frame->SlideTicks(), needed - 1);
    frame->OnSlideTick();
    QCOMPARE(CurrentName(*frame), QString("b.jpg"));
    QCOMPARE(frame->SlideTicks(), 0);
}

void TestSlideShow::endsOfTheList_data()
{
    QTest::addColumn<bool>("backward");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<QString>("expected");
    QTest::newRow("forward, repeat") << false << true << "a.jpg";
    QTest::newRow("forward, no repeat") << false << false << "c.jpg";
    QTest::newRow("backward, repeat") << true << true << "c.jpg";
    QTest::newRow("backward, no repeat") << true << false << "a.jpg";
}

void TestSlideShow::endsOfTheList()
{
    QFETCH(bool, backward);
    QFETCH(bool, repeat);
    QFETCH(QString, expected);
    AppSettings settings = Settings(m_dir);
    settings.slideDelay = 1;
    settings.slideBackward = backward;
    settings.slideRepeat = repeat;
    auto frame = Start<CTestFrame>(settings);
    QVERIFY(frame);
    // Start at the end the slide show runs towards.
    frame->OnViewKey(backward ? Qt::Key_Home : Qt::Key_End, Qt::NoModifier);
    frame->RunCommand(kCmdStartStopSlideShow);
    for (int i = 0; i < CMainFrame::kSlideTicksPerSecond; ++i)
        frame->OnSlideTick();
    QCOMPARE(CurrentName(*frame), expected);
    if (repeat)
        return;
    // Without repeat it keeps running on the last image and ends a
    // suspended fit once the delay has passed (a zoom that asks for the image
    // at its own size counts from 0 again).
    frame->OnViewKey(Qt::Key_Plus, Qt::KeypadModifier);
    QVERIFY(frame->FitSuspended());
    for (int i = 0; i < CMainFrame::kSlideTicksPerSecond; ++i)
        frame->OnSlideTick();
    QVERIFY(!frame->FitSuspended());
    QCOMPARE(CurrentName(*frame), expected);
    QVERIFY(frame->SlideShowRunning());
    QVERIFY(frame->Action(kCmdStartStopSlideShow)->isChecked());
}

void TestSlideShow::oneImageNeverChanges()
{
    AppSettings settings = Settings(m_single);
    settings.slideDelay = 1;
    auto frame = Start<CTestFrame>(settings);
    QVERIFY(frame);
    frame->RunCommand(kCmdStartStopSlideShow);
    for (int i = 0; i < 20; ++i)
        frame->OnSlideTick();
    QCOMPARE(CurrentName(*frame), QString("only.jpg"));
    QCOMPARE(frame->SlideTicks(), 0);
    QVERIFY(frame->SlideShowRunning());
}

void TestSlideShow::startWithFileDoesNotAdvance()
{
    AppSettings settings = Settings(m_dir);
    settings.slideDelay = 1;
    settings.commandLineFile = PathIn(m_dir, "b.jpg");
    auto frame = Start<CTestFrame>(settings);
    QVERIFY(frame);
    frame->RunCommand(kCmdStartStopSlideShow);
    for (int i = 0; i < 20; ++i)
        frame->OnSlideTick();
    QCOMPARE(CurrentName(*frame), QString("b.jpg"));
    QVERIFY(frame->FolderPending());
    // Once the folder is listed it goes on from the file.
    frame->OnViewKey(Qt::Key_End, Qt::NoModifier);
    frame->OnViewKey(Qt::Key_PageUp, Qt::NoModifier);
    for (int i = 0; i < CMainFrame::kSlideTicksPerSecond; ++i)
        frame->OnSlideTick();
    QCOMPARE(CurrentName(*frame), QString("c.jpg"));
}

void TestSlideShow::timerStepsThroughTheFolder()
{
    // The real timer and the real loader: each image is complete at once.
    AppSettings settings = Settings(m_dir);
    settings.slideDelay = 1;
    auto frame = Start(settings);
    QVERIFY(frame);
    QTRY_VERIFY(Shown(*frame));
    frame->RunCommand(kCmdStartStopSlideShow);
    QTRY_COMPARE_WITH_TIMEOUT(CurrentName(*frame), QString("b.jpg"), 5000);
    QTRY_VERIFY(Shown(*frame));
    QTRY_COMPARE_WITH_TIMEOUT(CurrentName(*frame), QString("c.jpg"), 5000);
    frame->RunCommand(kCmdStartStopSlideShow);
    QVERIFY(!frame->SlideShowRunning());
    QVERIFY(!frame->Action(kCmdStartStopSlideShow)->isChecked());
}

void TestSlideShow::folderChangeStopsIt()
{
    AppSettings settings = Settings(m_dir);
    auto frame = Start<CTestFrame>(settings);
    QVERIFY(frame);
    frame->RunCommand(kCmdStartStopSlideShow);
    QVERIFY(frame->Action(kCmdStartStopSlideShow)->isChecked());
    CShellPidl other;
    QVERIFY(other.ParseName(m_single.path().toStdString()));
    QVERIFY(frame->ControlPanel()->FolderTree()->SelectPidl(other, true));
    QVERIFY(!frame->SlideShowRunning());
    QVERIFY(!frame->Action(kCmdStartStopSlideShow)->isChecked());
    QCOMPARE(CurrentName(*frame), QString("only.jpg"));
}

void TestSlideShow::dialogControls()
{
    CSlideShowDlg dialog;
    dialog.delay = 1;
    dialog.forward = 0;
    dialog.backward = 1;
    dialog.repeat = 1;
    dialog.show();
    QCOMPARE(dialog.DelaySlider()->value(), 1);
    QCOMPARE(dialog.DelayLabel()->text(), QString("1 seconds"));
    QVERIFY(dialog.BackwardButton()->isChecked());
    QVERIFY(!dialog.ForwardButton()->isChecked());
    QVERIFY(dialog.RepeatBox()->isChecked());
    QCOMPARE(dialog.DelaySlider()->tickPosition(), QSlider::TicksAbove);
    dialog.DelaySlider()->setValue(0);
    QCOMPARE(dialog.DelaySlider()->value(), 1);
    dialog.DelaySlider()->setValue(11);
    QCOMPARE(dialog.DelaySlider()->value(), 10);
    QCOMPARE(dialog.DelayLabel()->text(), QString("10 seconds"));
    // Cancel leaves the members as they were.
    dialog.reject();
    QCOMPARE(dialog.delay, 1);
    QCOMPARE(dialog.backward, 1);
}

void TestSlideShow::adjustCommandAppliesOnlyOnOk()
{
    AppSettings settings = Settings(m_dir);
    auto frame = Start<CTestFrame>(settings);
    QVERIFY(frame);
    const auto answer = [](bool ok) {
        QTimer::singleShot(0, [ok] {
            auto* dialog = qobject_cast<CSlideShowDlg*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->DelaySlider()->value(), 5);
            dialog->DelaySlider()->setValue(3);
            dialog->BackwardButton()->setChecked(true);
            dialog->RepeatBox()->setChecked(false);
            ok ? dialog->accept() : dialog->reject();
        });
    };
    answer(false);
    frame->RunCommand(kCmdAdjustSlideShow);
    QCOMPARE(settings.slideDelay, 5);
    QCOMPARE(int(settings.slideBackward), 0);
    QCOMPARE(int(settings.slideRepeat), 1);

    // Changing the parameters while running counts from 0 again.
    frame->RunCommand(kCmdStartStopSlideShow);
    frame->OnSlideTick();
    frame->OnSlideTick();
    QCOMPARE(frame->SlideTicks(), 2);
    answer(true);
    frame->RunCommand(kCmdAdjustSlideShow);
    QCOMPARE(settings.slideDelay, 3);
    QCOMPARE(int(settings.slideBackward), 1);
    QCOMPARE(int(settings.slideRepeat), 0);
    QCOMPARE(frame->SlideTicks(), 0);
}

QTEST_MAIN(TestSlideShow)
#include "tst_slideshow.moc"
