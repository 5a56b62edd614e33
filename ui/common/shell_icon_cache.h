#pragma once
// Icons of namespace items in two sizes, each distinct icon made once.
//
// Slot n of the key list describes image n of the small list and image n of
// the large list: every new slot adds exactly one icon to each, so an index
// is valid in both. Slot 0 is the generic document icon, given to items
// whose icon cannot be had; slot 1 is the Desktop's.
//
// One cache per window that shows icons (the folder tree, the thumbnail
// pane); it grows for the window's life. User-interface thread only.

#include "browse/shell_folder.h"

#include <QPixmap>
#include <QString>
#include <vector>

class QIcon;

class CShellIconCache {
public:
    // Reads the two icon sizes and makes slots 0 and 1; false when either
    // icon cannot be made.
    bool Init();

    // The slot of the icon of `relative` inside `parent`; the open-folder
    // variant when `open` is set. 0 when no icon can be had.
    int GetIconIndex(const CShellFolder& parent, const CShellPidl& relative, bool open);

    int Count() const { return static_cast<int>(m_keys.size()); }
    int SmallSize() const { return m_smallSize; }
    int LargeSize() const { return m_largeSize; }
    const std::vector<QPixmap>& SmallImages() const { return m_small; }
    const std::vector<QPixmap>& LargeImages() const { return m_large; }
    // Both sizes of one slot as an icon (slot 0 for an index out of range).
    QIcon Icon(int index) const;

    // The theme icon name an item shows, empty when it has none (a missing
    // item, a link to nothing). Exposed for tests.
    static QString IconNameOf(const CShellFolder& parent, const CShellPidl& relative, bool open);

private:
    struct IconKey {
        QString name;
        bool open = false;
    };

    bool AddSlot(const IconKey& key, const QIcon& icon);

    int m_smallSize = 16;
    int m_largeSize = 32;
    std::vector<QPixmap> m_small;
    std::vector<QPixmap> m_large;
    std::vector<IconKey> m_keys;
};
