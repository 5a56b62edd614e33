#include "windows/properties_window.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>

#include "common/wait_cursor.h"
#include "common/window_placement.h"
#include "decode/jpeg_decoder.h"
#include "report/string_table.h"
#include "loader/image_item.h"
#include "loader/thumb_loader.h"

namespace {
QString Utf8(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}
}  // namespace

CPropertiesWnd::CPropertiesWnd(QWidget* owner, const QRect& rect) : QWidget(owner, Qt::Window)
{
    setWindowIcon(QIcon(QStringLiteral(":/res/icon_128.png")));
    m_list = new QTreeWidget(this);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels(
        {QString::fromUtf8(res::String(res::kStrTag)), QString::fromUtf8(res::String(res::kStrValue))});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(false);
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setStretchLastSection(false);
    m_list->setColumnWidth(0, rect.width() / 3);
    m_list->setColumnWidth(1, rect.width() / 3);

    m_bar = new QWidget(this);
    m_close = new QPushButton(QStringLiteral("Close"), m_bar);
    m_copy = new QPushButton(QStringLiteral("Copy Report"), m_bar);
    m_bar->resize(FromDialogUnits(kBar).size());
    m_close->setGeometry(FromDialogUnits(kCloseButton));
    m_copy->setGeometry(FromDialogUnits(kCopyButton));
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_copy, &QPushButton::clicked, this, &CPropertiesWnd::CopyReport);

    // On Wayland the compositor places the window; only its size is ours.
    if (ProgramPlacesWindows())
        setGeometry(rect);
    else
        resize(rect.size());
}

// Dialog units: a quarter of the average character width across, an eighth
// of the character height down.
QRect CPropertiesWnd::FromDialogUnits(const DialogRect& r) const
{
    const QFontMetrics metrics(font());
    const auto dx = [&](int units) { return units * metrics.averageCharWidth() / 4; };
    const auto dy = [&](int units) { return units * metrics.height() / 8; };
    return QRect(dx(r.x), dy(r.y), dx(r.width), dy(r.height));
}

void CPropertiesWnd::ShowItem(const CThumbLoader& loader, ImageItem* item)
{
    const CWaitCursor wait;
    if (!item) {
        ShowRows(QString(), {});
        return;
    }
    const std::string path = loader.ItemPath(item);
    // The information is read once per item and kept by its decoder.
    const ImageInfo& info = item->decoder.ReadInfo(path);
    std::vector<ReportRow> rows = BuildPropertiesRows(path, info);
    rows.front().value = item->name;
    ShowRows(Utf8(item->name), rows);
}

void CPropertiesWnd::ShowRows(const QString& title, const std::vector<ReportRow>& rows)
{
    m_rows = rows;
    m_list->clear();
    setWindowTitle(title);
    QList<QTreeWidgetItem*> items;
    for (const ReportRow& row : rows)
        items << new QTreeWidgetItem(QStringList {Utf8(row.tag), Utf8(row.value)});
    m_list->addTopLevelItems(items);
    if (rows.empty())
        return;
    // Wide enough for the contents and the header.
    m_list->resizeColumnToContents(0);
    m_list->resizeColumnToContents(1);
}

void CPropertiesWnd::CopyReport()
{
    if (m_rows.empty())
        return;
    const CWaitCursor wait;
    auto* data = new QMimeData;
    data->setText(Utf8(FormatReport(m_rows, "\n")));
    QApplication::clipboard()->setMimeData(data);
}

void CPropertiesWnd::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int barHeight = m_bar->height();
    m_bar->move(0, height() - barHeight);
    m_list->setGeometry(0, 0, width(), height() - barHeight);
}

void CPropertiesWnd::paintEvent(QPaintEvent*)
{
    // The strip right of the button bar; the list and the bar cover the rest.
    QPainter painter(this);
    painter.fillRect(QRect(m_bar->width(), m_bar->y(), width() - m_bar->width(), m_bar->height()),
                     palette().button());
}

// Only a show or hide the program asked for moves the focus, not the owner
// being minimised or restored.
void CPropertiesWnd::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        m_savedFocus = QApplication::focusWidget();
    QWidget::showEvent(event);
}

void CPropertiesWnd::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous() || !m_savedFocus)
        return;
    m_savedFocus->activateWindow();
    m_savedFocus->setFocus(Qt::OtherFocusReason);
}
