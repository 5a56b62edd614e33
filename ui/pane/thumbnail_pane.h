#pragma once
// CThumbView: the custom-drawn pane that shows the current folder's items as
// thumbnails ("Small Thumbnails", "Big Thumbnails") or as small icons with
// names ("List"), in columns laid out left to right, scrolling horizontally
// only. It keeps its own entry per loader item with its own selection, and
// reports selection, rename, delete and drag through Notified; its parent
// acts on them through the loader and drives the pane through the public
// operations below.
//
// Ownership: the loader and the display bitmap are lent by the main window
// and outlive the pane. The pane reads the loader's list only in Rebuild (and
// SetMode); between a change of that list and the next Rebuild the parent
// must not let the pane run, which it ensures by rebuilding at once.
//
// Thread rules: user-interface thread only. The pane writes the loader's
// thumbnail start (under the loader's lock) and tests each item's
// thumbnail-ready event without waiting; a timer picks up finished
// thumbnails, every 15 ms while those of the screen are being made, every
// 200 ms otherwise.

#include <string>
#include <vector>

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QString>

#include "common/shell_icon_cache.h"
#include "pane/pane_layout.h"

class CDisplayBitmap;
class CLabelTip;
class CRenameEdit;
class CThumbLoader;
struct ImageItem;
class QPainter;

// The record of a pane notification; valid only during the signal.
struct ThumbPaneNotify {
    int code = 0;                          // 0 select, 1 rename, 2 delete, 3 drag, 4 transform
    ImageItem* selected = nullptr;         // code 0
    ImageItem* renameItem = nullptr;       // code 1
    const std::string* newName = nullptr;  // code 1 (UTF-8 text typed)
    std::vector<ImageItem*> items;         // codes 2 to 4: the selected items in list order
    int command = 0;                       // code 4: the lossless turn's command
};

class CThumbView : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum NotifyCode {
        kNotifySelect = 0,
        kNotifyRename = 1,
        kNotifyDelete = 2,
        kNotifyDrag = 3,
        kNotifyTransform = 4
    };
    static constexpr int kPollMs = 200;        // picks up finished thumbnails
    static constexpr int kFastPollMs = 15;     // the same while the screen's are being made
    static constexpr int kDragScrollMs = 100;  // scrolls at the edges while drag-selecting
    static constexpr int kDragScrollEdge = 4;  // pixels from an edge that scroll
    static constexpr int kWheelNotch = 120;
    static constexpr int kCellMargin = 3;  // thumbnail mode: around the picture and the label
    static constexpr int kLabelGap = 4;    // thumbnail mode: from the picture's square to the label

    CThumbView(CThumbLoader* loader, CDisplayBitmap* bitmap, QWidget* parent = nullptr);
    ~CThumbView() override;

    // (false, 0) "List", (true, 80) "Small Thumbnails", (true, 120) "Big
    // Thumbnails". Rebuilds and selects the anchor's item again, in view,
    // without a notification.
    void SetMode(bool thumbnails, int size);
    // Drops every entry and makes one per loader item; no selection, scrolled
    // to the left, all repainted.
    void Rebuild();
    // Rebuild after the loader took in folder changes: `removedAt` are the
    // list places the dropped items had before, `added` the items it took
    // in (at their new places). The entries of the items that stay keep
    // their measured labels and nothing walks the loader's list, so a
    // change costs the window thread no string or text measurement per
    // entry of the folder.
    void Rebuild(std::vector<int> removedAt, std::vector<ImageItem*> added);
    // Drops every entry; an empty pane.
    void Clear();
    // A folder that could not be listed (errno `error`): the empty pane says
    // "Can't open this folder: <reason>". 0 takes the text away.
    void ShowFolderError(int error);
    QString Notice() const { return m_notice; }
    // Selects the item's entry alone and scrolls it into view; nothing when
    // the item has no entry. Notifies only with `notify` (and notifying on).
    void SelectItem(ImageItem* item, bool notify);
    // After a rebuild: selects the entries of `items` and of `anchor`, which
    // becomes the anchor, as Ctrl-clicks would have; nothing is sent and
    // nothing scrolls.
    void RestoreSelection(ImageItem* anchor, const std::vector<ImageItem*>& items);
    // off: nothing is sent.
    void SetNotifyEnabled(bool on) { m_notifyOn = on; }

    // --- State, for the parent and the tests ---
    bool ThumbnailMode() const { return m_thumbMode; }
    int ThumbnailSize() const { return m_thumbSize; }
    int IconSize() const { return m_iconSize; }
    int EntryCount() const { return static_cast<int>(m_entries.size()); }
    const CPaneLayout& Layout() const { return m_layout; }
    int ScrollPosition() const { return m_scrollPos; }
    ImageItem* AnchorItem() const;
    std::vector<ImageItem*> SelectedItems() const;
    // The item's cell in viewport coordinates; empty when it has no entry.
    QRect CellRect(const ImageItem* item) const;
    // Top of the label in a cell whose top is `rowTop`.
    int LabelTop(int rowTop) const { return m_thumbMode ? rowTop + m_thumbSize + kLabelGap : rowTop; }
    // What the label of an entry of this cell width shows: the name, or its
    // leading characters that fit followed by "..." (then *cut is set).
    static QString FitLabel(const QString& name, int cellWidth, const QFontMetrics& metrics, bool* cut);
    // Scrolls so that `position` is the left edge of the view (clamped).
    void ScrollTo(int position);
    CLabelTip* LabelTip() const { return m_labelTip; }
    CRenameEdit* RenameEdit() const { return m_renameEdit; }

    // --- Entries by place, for assistive technology (pane_accessible.cpp) ---
    // Counts up whenever the entries are made anew: places read before
    // belong to another list.
    unsigned Generation() const { return m_generation; }
    QString EntryName(int entry) const { return m_entries[static_cast<size_t>(entry)].label; }
    bool EntrySelected(int entry) const { return m_entries[static_cast<size_t>(entry)].selected; }
    // The entry last selected alone (the shown item's), or -1.
    int AnchorEntry() const { return m_anchor; }
    // The entry's cell in viewport coordinates.
    QRect EntryRect(int entry) const;
    // Selects the entry alone, in view, and notifies, as a click on it does.
    void ChooseEntry(int entry);

signals:
    // Connected with Qt::DirectConnection: the receiver has acted when emit
    // returns, and it may rebuild the pane from inside the call, so the pane
    // never touches its old entries after emitting.
    void Notified(ThumbPaneNotify* notify);
    // false while the rename edit is shown (so Space/Enter/Esc reach it), true after.
    void AcceleratorsWanted(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    struct PaneEntry {
        ImageItem* item = nullptr;
        QString label;       // the name as shown
        int labelWidth = 0;  // in the pane's font
        int cellWidth = 0;   // thumbnails: size + 6; "List": icon, space, label, 1
        int iconIndex = -1;  // small icon of "List" mode; -1 until first drawn
        QString cutText;     // what a cut label shows before "..."
        bool cutMeasured = false;
        bool selected = false;
        bool thumbnailShown = false;  // the cell was redrawn once its thumbnail was ready
    };

    // Entries, layout, scrolling (thumbnail_pane.cpp).
    void DropEntries();
    void ResetInteraction();
    void MeasureEntries();
    void MeasureEntry(PaneEntry& entry, const QFontMetrics& metrics) const;
    void FinishRebuild();
    void Arrange();
    void UpdateScrollBar();
    int ClientWidth() const;
    int ClientHeight() const;
    void UpdateEntry(int entry);
    void ScrollIntoView(int entry);
    void SetThumbnailStart();
    void PollThumbnails();
    void SetPollInterval(int ms);

    // Painting (thumbnail_pane.cpp).
    void DrawEntry(QPainter& painter, PaneEntry& entry, int x, int y);
    void DrawThumbnailCell(QPainter& painter, PaneEntry& entry, int x, int y);
    void DrawListCell(QPainter& painter, PaneEntry& entry, int x, int y);
    const QString& CutLabel(PaneEntry& entry);

    // Selection, mouse, keys and commands (thumbnail_pane_input.cpp).
    int EntryAtPoint(QPoint point) const;
    int DragEntryAtPoint(QPoint point) const;
    void SelectAlone(int entry, bool notify, bool scroll);
    void ExtendRange(int newEnd);
    void ToggleEntry(int entry);
    void CancelMouse();
    void DragSelectTick();
    void TrackLabelTip(QPoint point);
    void ShowMenu(int entry, QPoint globalPos);
    void RunCommand(int command);
    void StartRename(int entry);
    void FinishRename(const QString& text);
    void Notify(ThumbPaneNotify& notify);
    void AnnounceEntry(int entry);
    void NotifyWithSelection(int code, int command = 0);

    CThumbLoader* m_loader;
    CDisplayBitmap* m_bitmap;
    bool m_notifyOn = true;
    bool m_thumbMode = false;
    int m_thumbSize = 80;
    int m_iconSize = 16;
    CShellIconCache m_icons;

    std::vector<PaneEntry> m_entries;
    CPaneLayout m_layout;
    int m_rowHeight = 1;
    int m_scrollPos = 0;
    // Rebuild and Clear count up, so that code running after a notification
    // can tell its entries are gone.
    unsigned m_generation = 0;
    QString m_ellipsis = QStringLiteral("...");

    // Selection: the anchor (the entry last selected alone) and the range end.
    int m_anchor = -1;
    int m_rangeEnd = -1;
    bool m_multi = false;

    // Mouse.
    bool m_captured = false;  // pressed off every entry: moves may start a drag-select
    bool m_dragSelecting = false;
    QPoint m_lastMouse;
    QPoint m_pressPoint {-1, -1};
    bool m_pressed = false;  // m_pressPoint is set
    QBasicTimer m_pollTimer;
    int m_pollMs = kPollMs;
    QBasicTimer m_dragTimer;
    // For timing: the pane has painted once; the screen's thumbnails were
    // all shown since the last rebuild; the next paint draws them all.
    bool m_painted = false;
    bool m_screenShown = false;
    bool m_screenPainting = false;

    QString m_notice;  // drawn while the pane has no entries
    CLabelTip* m_labelTip = nullptr;
    CRenameEdit* m_renameEdit = nullptr;
    int m_renameEntry = -1;
};
