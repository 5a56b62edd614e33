// The About window: the layout arithmetic, one instance from the main
// window, ESC and Close, hover colours and cursors, the timer that ends a
// hover the mouse did not report, and the links.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "res/command_table.h"
#include "tests/ui/app/main_frame_fixture.h"
#include "windows/about_items.h"
#include "windows/about_window.h"

class TestAboutWindow : public QObject {
    Q_OBJECT

private:
    static CAboutItem* Item(const CAboutWnd& w, size_t i) { return w.Items()[i].get(); }
    static CAboutLink* Link(const CAboutWnd& w, size_t i) { return static_cast<CAboutLink*>(Item(w, i)); }

private slots:
    void layoutArithmetic()
    {
        // picture 142 x 246; texts of made-up sizes; the button 80 x 40.
        const std::array<QSize, 11> sizes = {{{142, 246},
                                              {200, 35},
                                              {150, 16},
                                              {170, 16},
                                              {60, 16},
                                              {250, 16},
                                              {50, 16},
                                              {90, 16},
                                              {240, 16},
                                              {230, 16},
                                              {80, 40}}};
        QSize client;
        const auto r = LayoutAboutItems(sizes, &client);
        const int left = 20 + 142 + 20;
        QCOMPARE(r[0], QRect(20, 20, 142, 246));
        QCOMPARE(r[1].topLeft(), QPoint(left, 20));
        QCOMPARE(r[2].topLeft(), QPoint(left, 20 + 35 + 20));
        QCOMPARE(r[3].topLeft(), QPoint(left, 20 + 35 + 16 + 20));
        const int y5 = 20 + 35 + 16 + 16 + 40;
        QCOMPARE(r[4].topLeft(), QPoint(left, y5));
        QCOMPARE(r[5].topLeft(), QPoint(left + 60, y5));
        QCOMPARE(r[6].topLeft(), QPoint(left, y5 + 16 + 10));
        QCOMPARE(r[7].topLeft(), QPoint(left + 50, y5 + 26));
        QCOMPARE(r[8].topLeft(), QPoint(left, y5 + 26 + 16 + 30));
        QCOMPARE(r[9].topLeft(), QPoint(left, y5 + 26 + 46 + 16));
        // Widest: the web-site link; lowest: the button below the picture.
        QCOMPARE(client, QSize(142 + 20 + 60 + 250 + 40, 246 + 20 + 40 + 40));
        QCOMPARE(r[10], QRect((client.width() - 80) / 2, 20 + 246 + 20, 80, 40));
    }

    void oneInstanceClosedByEsc()
    {
        QTemporaryDir dir;
        fixture::WriteImages(dir.path(), {"a.jpg"});
        AppSettings settings = fixture::Settings(dir);
        auto frame = fixture::Start(settings);
        QVERIFY(frame);
        frame->RunCommand(res::kCmdAbout);
        QPointer<QWidget> about = frame->AboutWindow();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QCOMPARE(about->windowTitle(), QString("About Lumvane"));
        frame->RunCommand(res::kCmdAbout);
        QCOMPARE(frame->AboutWindow(), about.data());
        QTRY_COMPARE(QApplication::activeWindow(), about.data());
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(!about);
        QVERIFY(frame->isVisible());
        frame->RunCommand(res::kCmdAbout);
        QVERIFY(frame->AboutWindow());
    }

    void sizedAroundItsItemsAndCentred()
    {
        CAboutWnd window(nullptr);
        QVERIFY(window.IsCreated());
        QCOMPARE(window.Items().size(), size_t(11));
        QCOMPARE(Item(window, 0)->Rect(), QRect(20, 20, 136 + 6, 240 + 6));
        int right = 0, bottom = 0;
        for (const auto& item : window.Items()) {
            right = std::max(right, item->Rect().right() + 1);
            bottom = std::max(bottom, item->Rect().bottom() + 1);
        }
        QCOMPARE(window.size(), QSize(right + 20, bottom + 20));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window.pos(),
                 QPoint((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 2));
        QCOMPARE(static_cast<CAboutText*>(Item(window, 1))->Text(), QString("Lumvane v0.5"));
        QVERIFY(static_cast<CAboutText*>(Item(window, 1))->Font().bold());
        QVERIFY(QFontMetrics(static_cast<CAboutText*>(Item(window, 1))->Font()).height() <= 35);
    }

    void hoverTransitions()
    {
        CAboutWnd window(nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CAboutLink* site = Link(window, 5);
        QCOMPARE(site->Colour(), kAboutLink);
        QVERIFY(site->Font().underline());

        QTest::mouseMove(&window, site->Rect().center());
        QTRY_COMPARE(window.HoverItem(), site);
        QCOMPARE(site->Colour(), kAboutLinkHover);
        QCOMPARE(window.cursor().shape(), Qt::PointingHandCursor);

        QTest::mouseMove(&window, Item(window, 1)->Rect().center());
        QTRY_COMPARE(window.HoverItem(), Item(window, 1));
        QCOMPARE(site->Colour(), kAboutLink);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

        auto* button = static_cast<CAboutButton*>(Item(window, 10));
        QTest::mouseMove(&window, button->Rect().center());
        QTRY_VERIFY(button->Hovered());
        QTest::mouseMove(&window, QPoint(2, 2));
        QTRY_VERIFY(!window.HoverItem());
        QVERIFY(!button->Hovered());

        // The mouse leaves from a link without a move reported inside: the
        // timer ends the hover.
        QTest::mouseMove(&window, site->Rect().center());
        QTRY_COMPARE(window.HoverItem(), site);
        QCursor::setPos(window.mapToGlobal(QPoint(window.width() + 50, window.height() + 50)));
        QTRY_VERIFY(!window.HoverItem());
        QCOMPARE(site->Colour(), kAboutLink);
    }

    void installedDocumentationFoundFromTheProgramsFolder()
    {
        QTemporaryDir root;
        const QString readme = root.path() + "/share/doc/lumvane/README.md";
        QFile file(readme);
        QVERIFY(QDir().mkpath(root.path() + "/bin") && QDir().mkpath(QFileInfo(readme).path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(CAboutWnd::DocumentationPath(root.path() + "/bin"), readme);
        QCOMPARE(CAboutWnd::DocumentationPath(root.path() + "/share/doc"), QString());
    }

    void linksAreLabelsThatOpenTheDocumentation()
    {
        // This program is not installed: its documentation lies beside it.
        const QString documentation = QCoreApplication::applicationDirPath() + "/README.md";
        QFile readme(documentation);
        QVERIFY(readme.open(QIODevice::WriteOnly));
        const auto removeReadme = qScopeGuard([&] { readme.remove(); });
        QPointer<CAboutWnd> window = new CAboutWnd(nullptr);
        QList<QUrl> opened;
        window->openUrl = [&opened](const QUrl& url) { opened << url; };
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(Link(*window, 5)->Text(), QString("Documentation"));
        QCOMPARE(Link(*window, 7)->Text(), QString("Report a problem"));
        QTest::mouseClick(window, Qt::LeftButton, {}, Link(*window, 5)->Rect().center());
        QTest::mouseClick(window, Qt::LeftButton, {}, Link(*window, 7)->Rect().center());
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[0], QUrl::fromLocalFile(documentation));
        QCOMPARE(opened[1].toLocalFile(), documentation);
        QCOMPARE(opened[1].fragment(), QString("reporting-problems"));
        QTest::mouseClick(window, Qt::LeftButton, {}, Item(*window, 10)->Rect().center());
        QTRY_VERIFY(!window);
    }
};

QTEST_MAIN(TestAboutWindow)
#include "tst_aboutwindow.moc"
