// Folders that stay current, through the main window on a real temporary
// folder: a JPEG copied in appears in the pane, a deleted one leaves it (the
// shown one gives way to the next), a rewritten one gets a new picture, and
// the shown image and the pane's scroll position stay as they were.

#include <filesystem>

#include <QTest>

#include "app/control_panel.h"
#include "res/command_table.h"
#include "tests/ui/app/main_frame_fixture.h"
#include "pane/thumbnail_pane.h"

namespace {

QStringList PaneNames(const CMainFrame& frame)
{
    QStringList names;
    for (ImageItem* item = frame.Loader()->FirstItem(); item; item = item->next)
        names << QString::fromStdString(item->name);
    return names;
}

}  // namespace

class TestFolderWatch : public QObject {
    Q_OBJECT

private slots:
    void paneFollowsTheFolder()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"b.jpg", "d.jpg"});
        AppSettings settings = fixture::Settings(dir);
        auto frame = fixture::Start(settings);
        QVERIFY(frame);
        QTRY_VERIFY(fixture::Shown(*frame));
        CThumbView* pane = frame->ControlPanel()->ThumbnailPane();
        frame->RunCommand(res::kCmdSortByName);  // any order works; this one keeps names natural
        ImageItem* shown = frame->CurrentItem();
        CImageBitmap* image = frame->ImageView()->Image();
        // The changes are taken in from the names the watcher reports: the
        // folder is never listed again.
        const int listings = frame->Loader()->Listings();

        // Copied in by another program.
        fixture::WriteImages(dir.path(), {"a.jpg", "c.jpg"});
        QTRY_COMPARE(PaneNames(*frame), (QStringList {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}));
        QCOMPARE(pane->EntryCount(), 4);
        // The image shown stays, neither replaced nor decoded again.
        QCOMPARE(frame->CurrentItem(), shown);
        QCOMPARE(frame->ImageView()->Image(), image);
        QCOMPARE(pane->AnchorItem(), shown);
        QTRY_VERIFY(frame->Loader()->ThumbnailOf(frame->Loader()->FirstItem()));

        // A selection of several (Ctrl-clicks) survives a change.
        ImageItem* d = frame->Loader()->LastItem();
        QTest::mouseClick(pane->viewport(), Qt::LeftButton, Qt::ControlModifier, pane->CellRect(d).center());
        QCOMPARE(pane->SelectedItems().size(), size_t(2));
        fixture::WriteImages(dir.path(), {"e.jpg"});
        QTRY_COMPARE(pane->EntryCount(), 5);
        QCOMPARE(pane->SelectedItems(), (std::vector<ImageItem*> {shown, d}));
        QCOMPARE(pane->AnchorItem(), shown);
        std::filesystem::remove(fixture::PathIn(dir, "e.jpg"));
        QTRY_COMPARE(pane->EntryCount(), 4);

        // A file of another kind changes nothing.
        QVERIFY(jpegwriter::WriteFile(fixture::PathIn(dir, "notes.txt"), {'x'}));

        // The shown file is rewritten: a new picture of it is shown.
        fixture::WriteImages(dir.path(), {"b.jpg"}, 64, 96);
        QTRY_VERIFY(frame->CurrentItem() != shown && fixture::Shown(*frame));
        QCOMPARE(fixture::CurrentName(*frame), QString("b.jpg"));
        QTRY_VERIFY(frame->Loader()->DisplayImageOf(frame->CurrentItem())
                    && frame->ImageView()->Image()->Height() > frame->ImageView()->Image()->Width());
        QCOMPARE(pane->AnchorItem(), frame->CurrentItem());

        // The shown file is deleted: the next one is shown.
        std::filesystem::remove(fixture::PathIn(dir, "b.jpg"));
        QTRY_COMPARE(PaneNames(*frame), (QStringList {"a.jpg", "c.jpg", "d.jpg"}));
        QTRY_COMPARE(fixture::CurrentName(*frame), QString("c.jpg"));
        QTRY_VERIFY(fixture::Shown(*frame));
        QCOMPARE(pane->AnchorItem(), frame->CurrentItem());

        // Everything goes, then a file comes back.
        for (const char* name : {"a.jpg", "c.jpg", "d.jpg"})
            std::filesystem::remove(fixture::PathIn(dir, name));
        QTRY_COMPARE(pane->EntryCount(), 0);
        QVERIFY(!frame->CurrentItem());
        fixture::WriteImages(dir.path(), {"e.jpg"});
        QTRY_COMPARE(pane->EntryCount(), 1);
        QTRY_VERIFY(frame->Loader()->ThumbnailOf(frame->Loader()->FirstItem()));
        QCOMPARE(frame->Loader()->Listings(), listings);
    }

    void scrollPositionStays()
    {
        QTemporaryDir dir;
        std::vector<std::string> names;
        for (int i = 10; i < 70; ++i)
            names.push_back("p" + std::to_string(i) + ".jpg");
        fixture::WriteImages(dir.path(), names, 32, 24);
        AppSettings settings = fixture::Settings(dir);
        auto frame = fixture::Start(settings);
        QVERIFY(frame);
        QTRY_VERIFY(fixture::Shown(*frame));
        CThumbView* pane = frame->ControlPanel()->ThumbnailPane();
        pane->ScrollTo(pane->Layout().TotalWidth());
        const int scrolled = pane->ScrollPosition();
        QVERIFY(scrolled > 0);
        fixture::WriteImages(dir.path(), {"p99.jpg"}, 32, 24);
        QTRY_COMPARE(pane->EntryCount(), 61);
        QVERIFY(pane->ScrollPosition() >= scrolled);
        QCOMPARE(fixture::CurrentName(*frame), QString("p10.jpg"));
    }
};

QTEST_MAIN(TestFolderWatch)
#include "tst_folderwatch.moc"
