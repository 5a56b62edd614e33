#include "pane/rename_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {
bool IsEditKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}
}  // namespace

CRenameEdit::CRenameEdit(QWidget* parent) : QLineEdit(parent)
{
    hide();
}

void CRenameEdit::Start(const QString& text, int width, int left, int top)
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    setGeometry(left, top, width + 2 * frame, sizeHint().height());
    setText(text);
    selectAll();
    m_active = true;
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    emit Started();
}

void CRenameEdit::Cancel()
{
    Finish(false);
}

void CRenameEdit::Finish(bool commit)
{
    if (!m_active)
        return;
    // Cleared first: hiding moves the focus away, which comes back here.
    m_active = false;
    const QString typed = text();
    emit Ended();
    hide();
    if (commit)
        emit Committed(typed);
}

// Enter and Escape belong to the box while it is shown, whatever shortcuts
// the window has for them.
bool CRenameEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && m_active) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsEditKey(key->key())) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CRenameEdit::keyPressEvent(QKeyEvent* event)
{
    if (m_active && IsEditKey(event->key())) {
        Finish(event->key() != Qt::Key_Escape);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CRenameEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // The box's own context menu takes the focus for a moment; that is no
    // reason to give up the edit.
    if (event->reason() != Qt::PopupFocusReason)
        Finish(false);
}
