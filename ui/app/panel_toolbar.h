#pragma once
// CPanelToolBar: the control panel's toolbar. Its buttons share the main
// window's actions, so a button does exactly what the menu item does and
// shows pressed by the same check rule. Unlike a plain QToolBar it wraps its
// buttons onto more rows when it is narrow, instead of hiding them behind an
// extension menu; the panel asks HeightForWidth and gives it that height.
//
// Ownership: the buttons are its children; the actions belong to the main
// window and outlive it. User-interface thread only.

#include <QToolBar>

#include <functional>
#include <vector>

class QToolButton;

class CPanelToolBar : public QToolBar {
    Q_OBJECT

public:
    static constexpr int kImageSize = 20;

    explicit CPanelToolBar(QWidget* parent = nullptr);

    // Adds the toolbar table's buttons, each showing its picture and running
    // the action `actionOf` gives for its command. False when a picture or an
    // action is missing.
    bool AddButtons(const std::function<QAction*(int)>& actionOf);

    // The height the buttons need at this width, wrapped into rows.
    int HeightForWidth(int width) const;
    // The button of a command, or null.
    QToolButton* Button(int command) const;

    // The tooltip of a menu text: the name, and the keys in brackets
    // ("Increase Gamma\tCtrl+Up" gives "Increase Gamma (Ctrl+Up)").
    static QString ToolTipText(const QString& menuText);
    // The button's name for screen readers: the name alone, without the
    // keys or a trailing "..." ("Image Properties...\tF2" gives "Image
    // Properties"); the tooltip, with the keys, is its description.
    static QString ButtonName(const QString& menuText);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Item {
        QWidget* widget;  // a button, or the line of a separator
        int command;      // 0 for a separator
    };
    // Places the items in rows at this width; returns the height used.
    int LayOut(int width, bool move) const;

    std::vector<Item> m_items;
};
