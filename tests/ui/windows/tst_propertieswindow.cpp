// The properties window: its rows for a file without Exif and with comments
// split into lines, following the shown image, emptying with the view, Copy
// Report's columns, hiding on Close and ESC with the focus going back.

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "res/command_table.h"
#include "tests/ui/app/main_frame_fixture.h"
#include "windows/properties_window.h"

namespace {

QList<QStringList> ListRows(const CPropertiesWnd& window)
{
    QList<QStringList> rows;
    for (int i = 0; i < window.List()->topLevelItemCount(); ++i)
        rows << QStringList {window.List()->topLevelItem(i)->text(0),
                             window.List()->topLevelItem(i)->text(1)};
    return rows;
}

void WriteWithComments(const QString& path, const std::vector<std::string>& comments)
{
    jpegwriter::EncodeOptions options;
    options.comments = comments;
    QVERIFY(jpegwriter::WriteFile(QFile::encodeName(path).toStdString(),
                                  jpegwriter::Encode(jpegwriter::MakePhotoLike(40, 30, 9), options)));
}

}  // namespace

class TestPropertiesWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CMainFrame> Start(QTemporaryDir& dir, AppSettings& settings)
    {
        settings = fixture::Settings(dir);
        auto frame = fixture::Start(settings);
        if (frame && !QTest::qWaitFor([&] { return fixture::Shown(*frame); }, 10000))
            return nullptr;
        return frame;
    }
    static CPropertiesWnd* Window(const CMainFrame& frame)
    {
        return qobject_cast<CPropertiesWnd*>(frame.PropertiesWindow());
    }

private slots:
    void createdHiddenAtTheSettingsRectangle()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"a.jpg"});
        AppSettings settings;
        auto frame = Start(dir, settings);
        QVERIFY(frame);
        CPropertiesWnd* window = Window(*frame);
        QVERIFY(window);
        QVERIFY(window->isHidden());
        QVERIFY(window->isWindow());
        QCOMPARE(window->geometry(), settings.propertiesRect.ToQRect());
    }

    // No Exif: the nine file rows, then one row per comment line.
    void rowsOfAFileWithoutExifAndWithComments()
    {
        QTemporaryDir dir;
        WriteWithComments(dir.path() + "/a.jpg", {"a\nb", "x\r\ny\r\r\n", ""});
        AppSettings settings;
        auto frame = Start(dir, settings);
        QVERIFY(frame);
        frame->RunCommand(res::kCmdImageProperties);
        CPropertiesWnd* window = Window(*frame);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QString("a.jpg"));
        const QList<QStringList> rows = ListRows(*window);
        QCOMPARE(rows.size(), 9 + 5);
        const QStringList tags
            = {"Name",           "Folder",      "File Size",    "File Created", "File Modified",
               "Read-only file", "Image Width", "Image Height", "Image Type"};
        for (int i = 0; i < 9; ++i)
            QCOMPARE(rows[i][0], tags[i]);
        QCOMPARE(rows[0][1], QString("a.jpg"));
        QCOMPARE(rows[1][1], QDir(dir.path()).canonicalPath());
        QCOMPARE(rows[6][1], QString("40 pixels"));
        QCOMPARE(rows[8][1], QString("Color"));
        QCOMPARE(rows.mid(9),
                 (QList<QStringList> {
                     {"Comment", "a"}, {"", "b"}, {"Comment", "x\r"}, {"", "y\r\r"}, {"Comment", ""}}));
    }

    // It follows the image while visible, keeps its rows while hidden, and
    // empties when the view is cleared whether visible or not.
    void followsTheShownImage()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"a.jpg", "b.jpg", "c.jpg"});
        AppSettings settings;
        auto frame = Start(dir, settings);
        QVERIFY(frame);
        CPropertiesWnd* window = Window(*frame);
        frame->OnViewKey(Qt::Key_PageDown, Qt::NoModifier);
        QVERIFY(window->List()->topLevelItemCount() == 0);
        frame->RunCommand(res::kCmdImageProperties);
        QCOMPARE(window->windowTitle(), QString("b.jpg"));
        frame->OnViewKey(Qt::Key_PageDown, Qt::NoModifier);
        QCOMPARE(window->windowTitle(), QString("c.jpg"));
        window->CloseButton()->click();
        QVERIFY(window->isHidden());
        frame->OnViewKey(Qt::Key_Home, Qt::NoModifier);
        QCOMPARE(window->windowTitle(), QString("c.jpg"));
        frame->RunCommand(res::kCmdImageProperties);
        QCOMPARE(window->windowTitle(), QString("a.jpg"));
        QCOMPARE(Window(*frame), window);
        window->hide();
        frame->ClearImage();
        QCOMPARE(window->windowTitle(), QString());
        QCOMPARE(window->List()->topLevelItemCount(), 0);
    }

    // Close, the close box and ESC hide it; the focus goes back where it was.
    void hidingGivesTheFocusBack()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"a.jpg"});
        AppSettings settings;
        auto frame = Start(dir, settings);
        QVERIFY(frame);
        CPropertiesWnd* window = Window(*frame);
        frame->ImageView()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), frame->ImageView());
        frame->RunCommand(res::kCmdImageProperties);
        QTRY_COMPARE(QApplication::activeWindow(), window);
        QTest::keyClick(window->List(), Qt::Key_Escape);
        QVERIFY(window->isHidden());
        QVERIFY(frame->isVisible());  // ESC did not end the program
        QTRY_COMPARE(QApplication::focusWidget(), frame->ImageView());
        frame->RunCommand(res::kCmdImageProperties);
        QVERIFY(window->close());
        QVERIFY(window->isHidden());
        QVERIFY(Window(*frame));  // hidden, not destroyed
    }

    void buttonBarAtTheBottomLeft()
    {
        CPropertiesWnd window(nullptr, QRect(10, 10, 500, 300));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* bar = window.ButtonBar();
        QCOMPARE(bar->geometry().bottomLeft(), QPoint(0, window.height() - 1));
        QCOMPARE(window.List()->geometry(), QRect(0, 0, window.width(), window.height() - bar->height()));
        QVERIFY(window.CloseButton()->geometry().right() < window.CopyReportButton()->geometry().left());
        QCOMPARE(window.CloseButton()->text(), QString("Close"));
        QCOMPARE(window.CopyReportButton()->text(), QString("Copy Report"));
    }

    // Each value starts 4 columns after the longest tag; "\n" ends each line.
    void copyReportColumns()
    {
        CPropertiesWnd window(nullptr, QRect(0, 0, 400, 300));
        QApplication::clipboard()->setText("kept");
        QSignalSpy changes(QApplication::clipboard(), &QClipboard::dataChanged);
        window.CopyReport();
        QCOMPARE(changes.count(), 0);
        QCOMPARE(QApplication::clipboard()->text(), QString("kept"));

        window.ShowRows("a.jpg", {{"Name", "a.jpg"}, {"Read-only file", "No"}, {"", "more"}, {"Model", "Ü"}});
        window.CopyReportButton()->click();
        const QString text = QApplication::clipboard()->text();
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(lines[0], QString("Name") + QString(14, ' ') + "a.jpg");
        QCOMPARE(lines[1].indexOf("No"), 18);
        QCOMPARE(lines[2], QString(18, ' ') + "more");
        QCOMPARE(lines[3].mid(18), QString("Ü"));
    }
};

QTEST_MAIN(TestPropertiesWindow)
#include "tst_propertieswindow.moc"
