#pragma once
// CFolderTreeIcons: the icons of the folder tree's rows. A row's icons are
// looked up when it is first painted, since painting is the one place that
// knows a row is on screen; siblings are painted one after another, so the
// bound folder of the last ones is kept for the next.
//
// Ownership: owned by its tree; it owns the icon cache, the icons made from
// its slots and the bound folder. Thread rules: user-interface thread only.

#include "browse/shell_pidl.h"
#include "common/shell_icon_cache.h"

#include <QIcon>

#include <memory>
#include <vector>

class CFolderItem;
class CShellFolder;

class CFolderTreeIcons {
public:
    CFolderTreeIcons();
    ~CFolderTreeIcons();

    // Makes the icon cache anew; false when the icons cannot be made.
    bool Init();
    int SmallSize() const { return m_icons.SmallSize(); }
    // The item has a parent and lacks an icon its row shows.
    static bool Wants(const CFolderItem& item);
    // Looks up the item's icons it has not got yet; `parentList` is the
    // full list of the item's parent.
    void Prepare(CFolderItem* item, const CShellPidl& parentList);
    QIcon ItemIcon(const CFolderItem& item) const;

private:
    const QIcon& SlotIcon(int slot) const;

    CShellIconCache m_icons;
    mutable std::vector<QIcon> m_slotIcons;
    // The bound folder of the siblings that were last given icons.
    std::unique_ptr<CShellFolder> m_cachedFolder;
    CShellPidl m_cachedList;
};
