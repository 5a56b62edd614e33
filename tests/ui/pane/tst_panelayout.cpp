// The pane's layout arithmetic: rows and columns for the cells' widths, the
// entry under a point (exact and for drag-selecting) and the target of each
// arrow key.

#include <QTest>

#include "pane/pane_layout.h"

Q_DECLARE_METATYPE(CPaneLayout::Key)

class tst_PaneLayout : public QObject {
    Q_OBJECT

private slots:
    void layoutArithmetic_data()
    {
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<int>("rowHeight");
        QTest::addColumn<int>("clientHeight");
        QTest::addColumn<int>("gap");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("step");
        const QList<int> ten(10, 86);
        QTest::newRow("three rows") << ten << 105 << 320 << 16 << 3 << 4 << 424 << 106;
        QTest::newRow("exact fit") << QList<int>(6, 86) << 105 << 315 << 16 << 3 << 2 << 220 << 110;
        QTest::newRow("lower than a row") << QList<int>(5, 86) << 105 << 50 << 16 << 1 << 5 << 526 << 105;
        QTest::newRow("no height") << QList<int>(3, 86) << 105 << 0 << 16 << 1 << 3 << 322 << 107;
        QTest::newRow("empty") << QList<int>() << 105 << 400 << 16 << 3 << 0 << 0 << 0;
        QTest::newRow("1000 over 10 columns")
            << QList<int>(10, 89) << 20 << 20 << 10 << 1 << 10 << 1000 << 100;
        // "List": a column is as wide as its widest cell.
        QTest::newRow("list widths") << QList<int> {30, 50, 40, 70, 20} << 16 << 40 << 16 << 2 << 3 << 204
                                     << 68;
    }
    void layoutArithmetic()
    {
        QFETCH(QList<int>, widths);
        QFETCH(int, rowHeight);
        QFETCH(int, clientHeight);
        QFETCH(int, gap);
        CPaneLayout layout;
        layout.Arrange(
            static_cast<int>(widths.size()), [&](int i) { return widths[i]; }, rowHeight, clientHeight, gap);
        QTEST(layout.Rows(), "rows");
        QTEST(layout.ColumnCount(), "columns");
        QTEST(layout.TotalWidth(), "total");
        QTEST(layout.Step(), "step");
    }

    void hitRules_data()
    {
        QTest::addColumn<QPoint>("point");  // scrolled coordinates
        QTest::addColumn<int>("exact");
        QTest::addColumn<int>("drag");
        // 7 cells of 100 x 50 in three rows, gap 10: columns at 10, 120, 230.
        QTest::newRow("left of the pane") << QPoint(-50, 10) << -1 << 0;
        QTest::newRow("first gap") << QPoint(5, 60) << -1 << 1;
        QTest::newRow("in a cell") << QPoint(150, 60) << 4 << 4;
        QTest::newRow("gap before column 1") << QPoint(115, 10) << -1 << 3;
        QTest::newRow("right of everything") << QPoint(500, 10) << -1 << 6;
        QTest::newRow("empty row of the last column") << QPoint(250, 60) << -1 << 6;
        QTest::newRow("above the pane") << QPoint(50, -20) << -1 << 0;
        QTest::newRow("below the bottom row") << QPoint(50, 160) << -1 << 3;
        QTest::newRow("below the last column") << QPoint(250, 200) << -1 << 6;
    }
    void hitRules()
    {
        CPaneLayout layout;
        layout.Arrange(
            7, [](int) { return 100; }, 50, 170, 10);
        QFETCH(QPoint, point);
        QTEST(layout.EntryAt(point.x(), point.y()), "exact");
        QTEST(layout.DragEntryAt(point.x(), point.y()), "drag");
    }

    void keyTargets_data()
    {
        QTest::addColumn<CPaneLayout::Key>("key");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("target");
        using K = CPaneLayout::Key;
        // 7 entries in three rows: columns {0,1,2} {3,4,5} {6}.
        QTest::newRow("home") << K::Home << 4 << 0;
        QTest::newRow("end") << K::End << 0 << 6;
        QTest::newRow("left in the first column") << K::Left << 1 << 0;
        QTest::newRow("left") << K::Left << 4 << 1;
        QTest::newRow("right") << K::Right << 1 << 4;
        QTest::newRow("right into a short last column") << K::Right << 4 << 6;
        QTest::newRow("right in the last column") << K::Right << 6 << 6;
        QTest::newRow("up in the first cell") << K::Up << 0 << 0;
        QTest::newRow("up from row 0") << K::Up << 3 << 2;
        QTest::newRow("down from the bottom row") << K::Down << 2 << 3;
        QTest::newRow("down at the last item") << K::Down << 6 << 6;
        QTest::newRow("no anchor") << K::Left << -1 << 0;
        QTest::newRow("no anchor, end") << K::End << -1 << 6;
    }
    void keyTargets()
    {
        CPaneLayout layout;
        layout.Arrange(
            7, [](int) { return 100; }, 50, 170, 10);
        QFETCH(CPaneLayout::Key, key);
        QFETCH(int, from);
        QTEST(layout.KeyTarget(key, from), "target");
    }
};

QTEST_MAIN(tst_PaneLayout)
#include "tst_panelayout.moc"
