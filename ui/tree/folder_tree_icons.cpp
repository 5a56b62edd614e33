#include "tree/folder_tree_icons.h"

#include "browse/shell_folder.h"
#include "tree/folder_tree_item.h"

#include <algorithm>

CFolderTreeIcons::CFolderTreeIcons() = default;

CFolderTreeIcons::~CFolderTreeIcons() = default;

bool CFolderTreeIcons::Init()
{
    if (!m_icons.Init())
        return false;
    m_slotIcons.clear();
    return true;
}

bool CFolderTreeIcons::Wants(const CFolderItem& item)
{
    const bool wantOpen = item.childCount() > 0 && item.openIcon < 0;
    return item.parent() && (item.normalIcon < 0 || wantOpen);
}

void CFolderTreeIcons::Prepare(CFolderItem* item, const CShellPidl& parentList)
{
    // Siblings are painted one after another: they share one bound parent.
    if (!m_cachedFolder || !m_cachedList.Equals(parentList)) {
        m_cachedList = parentList;
        m_cachedFolder = parentList.BindFolder();
    }
    if (!m_cachedFolder)
        return;
    if (item->normalIcon < 0)
        item->normalIcon = m_icons.GetIconIndex(*m_cachedFolder, item->relative, false);
    if (item->childCount() > 0 && item->openIcon < 0)
        item->openIcon = m_icons.GetIconIndex(*m_cachedFolder, item->relative, true);
}

QIcon CFolderTreeIcons::ItemIcon(const CFolderItem& item) const
{
    const int slot = item.childCount() > 0 && item.openIcon >= 0 ? item.openIcon : item.normalIcon;
    // Until a row is painted it measures with the generic icon of the same size.
    return SlotIcon(std::max(slot, 0));
}

const QIcon& CFolderTreeIcons::SlotIcon(int slot) const
{
    while (static_cast<int>(m_slotIcons.size()) < m_icons.Count())
        m_slotIcons.push_back(m_icons.Icon(static_cast<int>(m_slotIcons.size())));
    static const QIcon none;
    return slot < static_cast<int>(m_slotIcons.size()) ? m_slotIcons[static_cast<size_t>(slot)] : none;
}
