// Keys, zoom and gamma steps, the context menu and the two timers' work.

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include "app/frame_windows.h"
#include "app/main_frame.h"
#include "view/image_view.h"
#include "res/accelerators.h"
#include "res/command_table.h"
#include "res/menus.h"
#include "loader/thumb_loader.h"

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // The splitter may settle the view's size after it reports its layout.
    if (watched == m_view && event->type() == QEvent::Resize)
        CheckViewSize();
    // The keypad accelerators and the ESC rule apply to every window of the
    // program, before the window with the focus sees the key. The other
    // accelerators are the actions' shortcuts.
    if (event->type() == QEvent::KeyPress && m_acceleratorsOn && m_settings) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (TranslateKeypadKey(*key))
            return true;
        if (key->key() == Qt::Key_Escape && ApplyEscapeRule())
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// Runs the command of a keypad accelerator (*, /, keypad Enter). Like the
// shortcuts, it gives way to a modal dialog or an open menu. True when the
// key was used.
bool CMainFrame::TranslateKeypadKey(const QKeyEvent& key)
{
    if (!(key.modifiers() & Qt::KeypadModifier) || QApplication::activeModalWidget()
        || QApplication::activePopupWidget())
        return false;
    const int modifiers = int(
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier));
    for (const res::AcceleratorEntry& accel : res::Accelerators()) {
        if (accel.key == key.key() && accel.modifiers == modifiers) {
            RunCommand(accel.command);
            return true;
        }
    }
    return false;
}

// ESC hides a focused properties window, closes a focused About window, and
// otherwise ends the program when the option allows. Dialogs and open menus
// keep ESC for themselves. True when the key was used.
bool CMainFrame::ApplyEscapeRule()
{
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return false;
    // Alt puts the menu bar in keyboard mode with the focus; ESC leaves that
    // mode, as it closes an open menu.
    if (qobject_cast<QMenuBar*>(QApplication::focusWidget()))
        return false;
    if (m_windows->CloseActiveOnEscape(QApplication::activeWindow()))
        return true;
    if (!m_settings->exitByEsc)
        return false;
    QMetaObject::invokeMethod(
        this, [this] { RunCommand(res::kCmdExit); }, Qt::QueuedConnection);
    return true;
}

void CMainFrame::OnViewKey(int key, Qt::KeyboardModifiers modifiers)
{
    const int x = m_view->ScrollX();
    const int y = m_view->ScrollY();
    const int w = m_view->ClientWidth();
    const int h = m_view->ClientHeight();
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_PageUp:
        CompleteFolder();
        if (m_currentItem)
            StepTo(m_currentItem->previous);
        break;
    case Qt::Key_PageDown:
        CompleteFolder();
        if (m_currentItem)
            StepTo(m_currentItem->next);
        break;
    case Qt::Key_Home:
        CompleteFolder();
        if (m_loader->FirstItem() != m_currentItem)
            StepTo(m_loader->FirstItem());
        break;
    case Qt::Key_End:
        CompleteFolder();
        if (m_loader->LastItem() != m_currentItem)
            StepTo(m_loader->LastItem());
        break;
    case Qt::Key_Left: m_view->ScrollTo(x - w / 12, y, false); break;
    case Qt::Key_Up: m_view->ScrollTo(x, y - h / 12, false); break;
    case Qt::Key_Right: m_view->ScrollTo(x + w / 12, y, false); break;
    case Qt::Key_Down: m_view->ScrollTo(x, y + h / 12, false); break;
    case Qt::Key_Plus:
        if (keypad)
            ZoomStep(true);
        break;
    case Qt::Key_Minus:
        if (keypad)
            ZoomStep(false);
        break;
    default: break;
    }
}

// Moving to another image ends a suspended fit; the ends do not wrap.
void CMainFrame::StepTo(ImageItem* item)
{
    if (!item)
        return;
    m_fitSuspended = false;
    ShowImage(item, false);
}

void CMainFrame::OnWheelNotch(bool forward)
{
    ZoomStep(forward);
}

// The first step while a fit mode is on suspends fitting; when the fitted
// image fills the view in one direction, it is asked for at its own size
// instead of being magnified.
void CMainFrame::ZoomStep(bool in)
{
    if (!m_fitSuspended && (m_settings->fitHorizontally || m_settings->fitVertically)) {
        m_fitSuspended = true;
        CImageBitmap* image = m_currentItem ? m_loader->DisplayImageOf(m_currentItem) : nullptr;
        if (image && (image->Width() >= m_view->ClientWidth() || image->Height() >= m_view->ClientHeight())) {
            ShowImage(m_currentItem, true);
            return;
        }
    }
    const ZoomPair now {m_view->Factor(), m_view->Reduce()};
    const ZoomPair next = in ? ZoomIn(now) : ZoomOut(now);
    m_view->SetZoom(next.reduce, next.factor);
}

void CMainFrame::OnContextMenu(const QPoint& globalPos)
{
    UpdateActions();
    // The context menu shows its texts without mnemonic marks.
    std::vector<std::pair<QAction*, QString>> saved;
    for (QAction* action : m_contextMenu->actions()) {
        if (action->isSeparator())
            continue;
        saved.emplace_back(action, action->text());
        action->setText(QString::fromUtf8(res::ContextMenuText(action->data().toInt())));
    }
    m_contextMenu->exec(globalPos);
    for (auto& [action, text] : saved)
        action->setText(text);
}

bool CMainFrame::CurrentImageComplete() const
{
    return m_loader->DisplayImageOf(m_currentItem) && !m_loader->IsBeingDecoded(m_currentItem);
}

// Ticks count only while the image is completely decoded, so a slow decode
// lengthens the interval instead of cutting the viewing time.
void CMainFrame::OnSlideTick()
{
    if (!m_currentItem || m_loader->ItemCount() <= 1)
        return;
    if (CurrentImageComplete())
        ++m_slideTicks;
    if (m_slideTicks < m_settings->slideDelay * kSlideTicksPerSecond)
        return;
    CompleteFolder();
    m_fitSuspended = false;
    ImageItem* target = m_settings->slideBackward ? m_currentItem->previous : m_currentItem->next;
    if (!target && m_settings->slideRepeat)
        target = m_settings->slideBackward ? m_loader->LastItem() : m_loader->FirstItem();
    ShowImage(target, false);
}
