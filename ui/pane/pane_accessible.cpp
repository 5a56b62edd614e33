#include "pane/pane_accessible.h"

#include "pane/thumbnail_pane.h"

CPaneAccessible::CPaneAccessible(CThumbView* view) : QAccessibleWidget(view, QAccessible::List)
{
    m_generation = view->Generation();
}

CThumbView* CPaneAccessible::View() const
{
    return static_cast<CThumbView*>(widget());
}

void CPaneAccessible::DropItems() const
{
    for (const auto& [entry, id] : m_items)
        if (QAccessible::accessibleInterface(id))
            QAccessible::deleteAccessibleInterface(id);
    m_items.clear();
}

int CPaneAccessible::childCount() const
{
    return View()->EntryCount();
}

QAccessibleInterface* CPaneAccessible::child(int index) const
{
    CThumbView* view = View();
    if (index < 0 || index >= view->EntryCount())
        return nullptr;
    if (m_generation != view->Generation()) {
        DropItems();
        m_generation = view->Generation();
    }
    const auto found = m_items.find(index);
    if (found != m_items.end())
        return QAccessible::accessibleInterface(found->second);
    auto* item = new CPaneItemAccessible(view, index);
    m_items[index] = QAccessible::registerAccessibleInterface(item);
    return item;
}

int CPaneAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    // The viewport, the scroll bar and the rename edit are the pane's parts
    // for Qt, but not items of the list.
    if (!child || child->role() != QAccessible::ListItem || !child->isValid())
        return -1;
    const auto* item = dynamic_cast<const CPaneItemAccessible*>(child);
    return item && item->parent() && item->parent()->object() == object() ? item->Entry() : -1;
}

QAccessibleInterface* CPaneAccessible::childAt(int x, int y) const
{
    const CThumbView* view = View();
    const QPoint local = view->viewport()->mapFromGlobal(QPoint(x, y));
    if (!view->viewport()->rect().contains(local))
        return nullptr;
    return child(view->Layout().EntryAt(local.x() + view->ScrollPosition(), local.y()));
}

QAccessible::State CPaneAccessible::state() const
{
    // Shift and Ctrl with a click select more than one entry.
    QAccessible::State s = QAccessibleWidget::state();
    s.multiSelectable = true;
    s.extSelectable = true;
    return s;
}

QAccessibleInterface* CPaneAccessible::focusChild() const
{
    const CThumbView* view = View();
    return view->hasFocus() ? child(view->AnchorEntry()) : nullptr;
}

const QString& CPaneItemAccessible::SelectAction()
{
    static const QString name = QStringLiteral("select");
    return name;
}

CPaneItemAccessible::CPaneItemAccessible(CThumbView* view, int entry)
    : m_view(view), m_entry(entry), m_generation(view->Generation())
{
}

bool CPaneItemAccessible::isValid() const
{
    return m_view && m_view->Generation() == m_generation && m_entry < m_view->EntryCount();
}

QWindow* CPaneItemAccessible::window() const
{
    return m_view ? m_view->window()->windowHandle() : nullptr;
}

QAccessibleInterface* CPaneItemAccessible::parent() const
{
    return m_view ? QAccessible::queryAccessibleInterface(m_view.data()) : nullptr;
}

QString CPaneItemAccessible::text(QAccessible::Text t) const
{
    return t == QAccessible::Name && isValid() ? m_view->EntryName(m_entry) : QString();
}

QRect CPaneItemAccessible::rect() const
{
    if (!isValid())
        return {};
    const QRect cell = m_view->EntryRect(m_entry);
    return QRect(m_view->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

QAccessible::State CPaneItemAccessible::state() const
{
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    s.selectable = true;
    s.focusable = true;
    s.selected = m_view->EntrySelected(m_entry);
    s.focused = m_view->hasFocus() && m_view->AnchorEntry() == m_entry;
    s.offscreen = !m_view->viewport()->rect().intersects(m_view->EntryRect(m_entry));
    s.invisible = !m_view->isVisible();
    return s;
}

void* CPaneItemAccessible::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
}

QStringList CPaneItemAccessible::actionNames() const
{
    return {SelectAction(), pressAction()};
}

void CPaneItemAccessible::doAction(const QString& actionName)
{
    if (isValid() && (actionName == SelectAction() || actionName == pressAction()))
        m_view->ChooseEntry(m_entry);
}

QAccessibleInterface* PaneAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CThumbView") && object && object->isWidgetType())
        return new CPaneAccessible(static_cast<CThumbView*>(object));
    return nullptr;
}
