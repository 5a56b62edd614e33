#pragma once
// The column arrangement of the thumbnail pane: cells run top to bottom in
// columns and the columns left to right, each column preceded by a gap. All
// positions are in scrolled coordinates (0 is the left end of the content),
// entries are numbered in list order.
//
// A plain value: the pane rebuilds it on every rebuild and resize. Holds no
// pointers; user-interface thread only, like its owner.

#include <functional>
#include <vector>

class CPaneLayout {
public:
    struct Column {
        int first = 0;  // the column's first entry
        int left = 0;   // left edge of its cells
        int width = 0;  // the largest cell width of its entries
    };

    // The keys that move the selection.
    enum class Key { Home, End, Left, Right, Up, Down };

    // Rows per column = client height / row height (at least 1); column k
    // holds entries k * rows to k * rows + rows - 1; the first column starts
    // one gap from the left and each next one a gap after the previous.
    void Arrange(int count, const std::function<int(int)>& cellWidth, int rowHeight, int clientHeight,
                 int gap);
    void Clear();

    int Count() const { return m_count; }
    int Rows() const { return m_rows; }
    int RowHeight() const { return m_rowHeight; }
    int Gap() const { return m_gap; }
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    const Column& ColumnAt(int k) const { return m_columns[static_cast<size_t>(k)]; }
    // Gap plus every column's width and gap after it; 0 without entries.
    int TotalWidth() const { return m_totalWidth; }
    // One scroll step: the total width shared out over the columns.
    int Step() const { return m_columns.empty() ? 0 : m_totalWidth / ColumnCount(); }

    int ColumnOf(int entry) const { return entry / m_rows; }
    int RowOf(int entry) const { return entry % m_rows; }
    // The first column whose right edge lies beyond x; ColumnCount() when none.
    int FirstColumnEndingAfter(int x) const;

    // The entry whose cell (column width by row height) holds the point; -1
    // when the point is in a gap, below the rows or past the last entry.
    int EntryAt(int x, int y) const;
    // The entry a drag-select reaches at the point, which may lie outside the
    // pane: a column's span covers the gap to its left and its width, points
    // left of everything count as column 0 and points right of everything as
    // the last column; above the pane is row 0; an empty row of the last
    // column gives the last entry; below the bottom row gives the first entry
    // of the next column (or the last entry). -1 without entries.
    int DragEntryAt(int x, int y) const;
    // The entry a key moves to from `from`; `from` itself when it does not move.
    int KeyTarget(Key key, int from) const;

private:
    std::vector<Column> m_columns;
    int m_count = 0;
    int m_rows = 1;
    int m_rowHeight = 1;
    int m_gap = 0;
    int m_totalWidth = 0;
};
