#pragma once
// CPropertiesWnd: the file data, comments and Exif tags of one image as a
// two-column Tag/Value list, with a button bar ("Close", "Copy Report") at
// the bottom left. The main window tells it which item to show; it does not
// follow the current image by itself. Closing it only hides it. When it is
// hidden, the keyboard focus goes back to where it was when it was shown.
//
// Ownership: a top-level window owned by the main window (its Qt parent),
// made hidden with the main window and destroyed with it. User-interface
// thread only; reading an item's information is serialised with the
// loader's workers by the decoder's information lock.

#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "report/properties_report.h"

class CThumbLoader;
class QPushButton;
class QTreeWidget;
struct ImageItem;

class CPropertiesWnd : public QWidget {
    Q_OBJECT

public:
    // Dialog-unit sizes of the button bar and its two buttons.
    struct DialogRect {
        int x, y, width, height;
    };
    static constexpr DialogRect kBar {0, 0, 161, 24};
    static constexpr DialogRect kCloseButton {5, 5, 60, 15};
    static constexpr DialogRect kCopyButton {85, 5, 70, 15};

    // `rect`: the window's frame rectangle on the screen.
    CPropertiesWnd(QWidget* owner, const QRect& rect);

    // Fills the window with the item's rows and names it after the item;
    // null empties it and clears its title.
    void ShowItem(const CThumbLoader& loader, ImageItem* item);
    // The same from rows already made (the first row's value is the name).
    void ShowRows(const QString& title, const std::vector<ReportRow>& rows);
    const std::vector<ReportRow>& Rows() const { return m_rows; }

    // Puts the report on the clipboard as UTF-8 text with "\n" line ends;
    // nothing happens while the list is empty.
    void CopyReport();

    QTreeWidget* List() const { return m_list; }
    QWidget* ButtonBar() const { return m_bar; }
    QPushButton* CloseButton() const { return m_close; }
    QPushButton* CopyReportButton() const { return m_copy; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QRect FromDialogUnits(const DialogRect& r) const;

    QTreeWidget* m_list = nullptr;
    QWidget* m_bar = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_copy = nullptr;
    std::vector<ReportRow> m_rows;
    QPointer<QWidget> m_savedFocus;
};
