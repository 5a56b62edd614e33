// The View menu's sort group through the main window: the folder opens in
// its name order, an order picked from the menu re-orders the list and the
// pane, names compare naturally, Reverse turns the order round, and the
// image shown stays shown and selected.

#include <fcntl.h>
#include <sys/stat.h>

#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "app/control_panel.h"
#include "res/command_table.h"
#include "tests/ui/app/main_frame_fixture.h"
#include "pane/thumbnail_pane.h"

using namespace res;

namespace {

QStringList ListOrder(const CMainFrame& frame)
{
    QStringList names;
    for (ImageItem* item = frame.Loader()->FirstItem(); item; item = item->next)
        names << QString::fromStdString(item->name);
    return names;
}

QAction* ViewMenuAction(CMainFrame& frame, const QString& text)
{
    for (QAction* menu : frame.menuBar()->actions())
        if (menu->text() == "&View")
            for (QAction* action : menu->menu()->actions())
                if (action->text() == text)
                    return action;
    return nullptr;
}

}  // namespace

class TestSortMenu : public QObject {
    Q_OBJECT

private slots:
    void viewMenuHoldsTheGroupAndReverse()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"a.jpg"});
        AppSettings settings = fixture::Settings(dir);
        auto frame = fixture::Start(settings);
        QVERIFY(frame);
        const QStringList texts
            = {"Sort by Name", "Sort by Date Taken", "Sort by Date Modified", "Sort by Size", "Reverse"};
        for (const QString& text : texts) {
            QAction* action = ViewMenuAction(*frame, text);
            QVERIFY2(action, qPrintable(text));
            QVERIFY(action->isCheckable());
        }
        frame->UpdateActions();
        QVERIFY(frame->Action(kCmdSortByName)->isChecked());
        QVERIFY(!frame->Action(kCmdSortReverse)->isChecked());
    }

    void ordersFollowTheMenuAndKeepTheShownImage()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"IMG_10.jpg", "IMG_9.jpg", "IMG_100.jpg"}, 96, 64);
        // Modified: IMG_100 first, then IMG_10, then IMG_9; sizes differ too.
        fixture::WriteImages(dir.path(), {"IMG_10.jpg"}, 200, 150);
        const std::pair<const char*, int> times[]
            = {{"IMG_100.jpg", 1000}, {"IMG_10.jpg", 2000}, {"IMG_9.jpg", 3000}};
        for (const auto& [name, when] : times) {
            const timespec t[2] = {{when, 0}, {when, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, fixture::PathIn(dir, name).c_str(), t, 0), 0);
        }
        AppSettings settings = fixture::Settings(dir);
        auto frame = fixture::Start(settings);
        QVERIFY(frame);
        QTRY_VERIFY(fixture::Shown(*frame));
        // The folder opens in its name order, character by character.
        QCOMPARE(ListOrder(*frame), (QStringList {"IMG_10.jpg", "IMG_100.jpg", "IMG_9.jpg"}));
        QCOMPARE(fixture::CurrentName(*frame), QString("IMG_10.jpg"));
        CImageBitmap* shown = frame->ImageView()->Image();

        ViewMenuAction(*frame, "Sort by Name")->trigger();
        QCOMPARE(ListOrder(*frame), (QStringList {"IMG_9.jpg", "IMG_10.jpg", "IMG_100.jpg"}));
        QVERIFY(frame->Action(kCmdSortByName)->isChecked());
        // The shown image is neither decoded again nor deselected.
        QCOMPARE(frame->ImageView()->Image(), shown);
        CThumbView* pane = frame->ControlPanel()->ThumbnailPane();
        QCOMPARE(pane->EntryCount(), 3);
        QCOMPARE(pane->AnchorItem(), frame->CurrentItem());

        frame->RunCommand(kCmdSortReverse);
        QCOMPARE(ListOrder(*frame), (QStringList {"IMG_100.jpg", "IMG_10.jpg", "IMG_9.jpg"}));
        QVERIFY(frame->Action(kCmdSortReverse)->isChecked());
        frame->RunCommand(kCmdSortByDateModified);
        QCOMPARE(ListOrder(*frame), (QStringList {"IMG_9.jpg", "IMG_10.jpg", "IMG_100.jpg"}));
        QVERIFY(frame->Action(kCmdSortByDateModified)->isChecked());
        QVERIFY(!frame->Action(kCmdSortByName)->isChecked());
        frame->RunCommand(kCmdSortReverse);
        QCOMPARE(ListOrder(*frame), (QStringList {"IMG_100.jpg", "IMG_10.jpg", "IMG_9.jpg"}));
        frame->RunCommand(kCmdSortBySize);
        QCOMPARE(ListOrder(*frame).last(), QString("IMG_10.jpg"));
        // Without Exif dates, the date taken is the modification time.
        frame->RunCommand(kCmdSortByDateTaken);
        QCOMPARE(ListOrder(*frame), (QStringList {"IMG_100.jpg", "IMG_10.jpg", "IMG_9.jpg"}));
        QCOMPARE(frame->ImageView()->Image(), shown);
        QCOMPARE(pane->AnchorItem(), frame->CurrentItem());

        // PageDown steps through the new order.
        frame->RunCommand(kCmdSortByName);
        QCOMPARE(ListOrder(*frame), (QStringList {"IMG_9.jpg", "IMG_10.jpg", "IMG_100.jpg"}));
        frame->OnViewKey(Qt::Key_PageDown, Qt::NoModifier);
        QCOMPARE(fixture::CurrentName(*frame), QString("IMG_100.jpg"));
        QTRY_VERIFY(fixture::Shown(*frame));
    }
};

QTEST_MAIN(TestSortMenu)
#include "tst_sortmenu.moc"
