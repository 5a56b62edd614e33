#pragma once
// CRenameEdit: the edit box in which the thumbnail pane renames an item in
// place. Enter hides it and reports the text; Escape and losing the focus
// hide it without reporting anything.
//
// Ownership: a child of the pane's viewport, created hidden, so it moves with
// the content when the pane scrolls. User-interface thread only.

#include <QLineEdit>
#include <QString>

class CRenameEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CRenameEdit(QWidget* parent);

    // Places the box at (left, top) in the parent, `width` wide for its text
    // (the frame comes on top), shows it with the whole text selected and
    // gives it the focus.
    void Start(const QString& text, int width, int left, int top);
    // Hides the box without reporting; nothing when it is not shown.
    void Cancel();
    bool IsActive() const { return m_active; }

signals:
    void Started();
    // Hidden again, by any way; sent before Committed.
    void Ended();
    void Committed(const QString& text);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Finish(bool commit);

    bool m_active = false;
};
