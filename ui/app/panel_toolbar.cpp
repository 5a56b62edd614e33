#include "app/panel_toolbar.h"

#include <QAction>
#include <QFrame>
#include <QResizeEvent>
#include <QToolButton>

#include "res/toolbar_icons.h"
#include "res/toolbar_table.h"

namespace {
constexpr int kMargin = 2;
constexpr int kSeparatorWidth = 9;
}  // namespace

CPanelToolBar::CPanelToolBar(QWidget* parent) : QToolBar(parent)
{
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(kImageSize, kImageSize));
}

bool CPanelToolBar::AddButtons(const std::function<QAction*(int)>& actionOf)
{
    for (const res::ToolbarEntry& entry : res::ToolbarButtons()) {
        if (entry.kind == res::ButtonKind::Separator) {
            auto* line = new QFrame(this);
            line->setFrameShape(QFrame::VLine);
            line->setFrameShadow(QFrame::Sunken);
            m_items.push_back({line, 0});
            continue;
        }
        QAction* action = actionOf(entry.command);
        const QIcon icon = res::ToolbarIcon(entry.image);
        if (!action || icon.isNull())
            return false;
        action->setIcon(icon);
        action->setToolTip(ToolTipText(action->text()));
        auto* button = new QToolButton(this);
        // Qt would name the button after the whole menu text, keys and all.
        button->setAccessibleName(ButtonName(action->text()));
        button->setAutoRaise(true);
        button->setIconSize(iconSize());
        button->setFocusPolicy(Qt::NoFocus);
        button->setDefaultAction(action);
        m_items.push_back({button, entry.command});
    }
    LayOut(width(), true);
    return true;
}

QString CPanelToolBar::ToolTipText(const QString& menuText)
{
    QString name = menuText.section(QLatin1Char('\t'), 0, 0);
    const QString keys = menuText.section(QLatin1Char('\t'), 1);
    name.remove(QLatin1Char('&'));
    return keys.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, keys);
}

QString CPanelToolBar::ButtonName(const QString& menuText)
{
    QString name = ToolTipText(menuText.section(QLatin1Char('\t'), 0, 0));
    if (name.endsWith(QLatin1String("...")))
        name.chop(3);
    return name;
}

QToolButton* CPanelToolBar::Button(int command) const
{
    for (const Item& item : m_items)
        if (item.command == command)
            return static_cast<QToolButton*>(item.widget);
    return nullptr;
}

int CPanelToolBar::HeightForWidth(int width) const
{
    return LayOut(width, false);
}

void CPanelToolBar::resizeEvent(QResizeEvent* event)
{
    QToolBar::resizeEvent(event);
    LayOut(event->size().width(), true);
}

// Items flow left to right and start a new row where the next one would
// cross the right edge; a separator that would open a row is left out.
int CPanelToolBar::LayOut(int width, bool move) const
{
    if (m_items.empty())
        return 0;
    const QSize button = m_items.front().widget->sizeHint().expandedTo(QSize(kImageSize, kImageSize));
    int x = kMargin, y = kMargin;
    for (const Item& item : m_items) {
        const int w = item.command ? button.width() : kSeparatorWidth;
        if (x > kMargin && x + w > width - kMargin) {
            x = kMargin;
            y += button.height();
        }
        const bool shown = item.command || x > kMargin;
        if (move) {
            item.widget->setGeometry(x, y, w, button.height());
            item.widget->setVisible(shown);
        }
        if (shown)
            x += w;
    }
    return y + button.height() + kMargin;
}
