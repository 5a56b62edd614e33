#include "pane/pane_layout.h"

#include <algorithm>

void CPaneLayout::Arrange(int count, const std::function<int(int)>& cellWidth, int rowHeight,
                          int clientHeight, int gap)
{
    Clear();
    m_rowHeight = std::max(rowHeight, 1);
    m_gap = std::max(gap, 0);
    m_rows = std::max(clientHeight / m_rowHeight, 1);
    if (count <= 0)
        return;
    m_count = count;
    const int columns = (count + m_rows - 1) / m_rows;
    m_columns.resize(static_cast<size_t>(columns));
    int left = m_gap;
    for (int k = 0; k < columns; ++k) {
        Column& c = m_columns[static_cast<size_t>(k)];
        c.first = k * m_rows;
        c.left = left;
        const int end = std::min(c.first + m_rows, count);
        for (int i = c.first; i < end; ++i)
            c.width = std::max(c.width, cellWidth(i));
        left += c.width + m_gap;
    }
    m_totalWidth = left;
}

void CPaneLayout::Clear()
{
    m_columns.clear();
    m_count = 0;
    m_totalWidth = 0;
    m_rows = 1;
}

int CPaneLayout::FirstColumnEndingAfter(int x) const
{
    // Columns lie left to right, so their right edges ascend.
    const auto it = std::upper_bound(m_columns.begin(), m_columns.end(), x,
                                     [](int value, const Column& c) { return value < c.left + c.width; });
    return static_cast<int>(it - m_columns.begin());
}

int CPaneLayout::EntryAt(int x, int y) const
{
    if (y < 0 || y / m_rowHeight >= m_rows)
        return -1;
    const int k = FirstColumnEndingAfter(x);
    if (k >= ColumnCount() || x < ColumnAt(k).left)
        return -1;
    const int entry = ColumnAt(k).first + y / m_rowHeight;
    return entry < m_count ? entry : -1;
}

int CPaneLayout::DragEntryAt(int x, int y) const
{
    if (m_count == 0)
        return -1;
    // A column's span reaches from the previous column's right edge to its
    // own, so the first column ending after x is the one whose span holds it.
    const int k = std::min(FirstColumnEndingAfter(x), ColumnCount() - 1);
    const int first = ColumnAt(k).first;
    if (y < 0)
        return first;
    const int row = y / m_rowHeight;
    const int entry = row >= m_rows ? first + m_rows : first + row;
    return std::min(entry, m_count - 1);
}

int CPaneLayout::KeyTarget(Key key, int from) const
{
    if (m_count == 0)
        return -1;
    const int last = m_count - 1;
    if (from < 0 || from > last)
        return key == Key::End ? last : 0;
    const int column = ColumnOf(from);
    const int lastColumn = ColumnCount() - 1;
    switch (key) {
    case Key::Home: return 0;
    case Key::End: return last;
    case Key::Left: return column == 0 ? 0 : from - m_rows;
    case Key::Right: return column == lastColumn ? last : std::min(from + m_rows, last);
    // Entries run down the columns, so the cell above is the previous entry
    // (the bottom of the column before when in row 0), the one below the next.
    case Key::Up: return from == 0 ? from : from - 1;
    case Key::Down: return from == last ? from : from + 1;
    }
    return from;
}
