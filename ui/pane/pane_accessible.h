#pragma once
// What assistive technology (screen readers, test drivers) sees of the
// thumbnail pane: a list whose items are its entries, named after their
// files, in list order. An item tells whether it is selected and focused,
// gives its cell on the screen and answers "select" (and "Press"), which
// shows its image as a click does.
//
// Ownership: Qt's accessibility cache owns every interface; the pane's
// interface registers the items it hands out and deletes them when the
// pane's entries are made anew. An item holds its place and the generation
// of entries it belongs to, so an item handed out before a rebuild (or
// outliving the pane, until the cache goes) reads as invalid rather than
// naming another file.
//
// Thread rules: user-interface thread only.

#include <map>

#include <QAccessibleWidget>
#include <QPointer>

class CThumbView;

class CPaneAccessible : public QAccessibleWidget {
public:
    explicit CPaneAccessible(CThumbView* view);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessible::State state() const override;
    QAccessibleInterface* focusChild() const override;

private:
    CThumbView* View() const;
    void DropItems() const;

    // Items handed out for the entries of generation m_generation, by place.
    mutable std::map<int, QAccessible::Id> m_items;
    mutable unsigned m_generation = 0;
};

class CPaneItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    static const QString& SelectAction();

    CPaneItemAccessible(CThumbView* view, int entry);

    int Entry() const { return m_entry; }

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<CThumbView> m_view;
    int m_entry;
    unsigned m_generation;
};

// For QAccessible::installFactory: the pane's interface, null for other classes.
QAccessibleInterface* PaneAccessibleFactory(const QString& className, QObject* object);
