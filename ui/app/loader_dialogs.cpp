#include "app/loader_dialogs.h"

#include <QDrag>
#include <QMessageBox>
#include <QMimeData>

#include "browse/shell_pidl.h"
#include "browse/uri_list.h"
#include "report/string_table.h"

namespace {
QString Title()
{
    return QString::fromUtf8(res::String(res::kStrAppTitle));
}

// A path for people to read: bytes that are not UTF-8 are shown replaced.
QString Readable(const std::string& path)
{
    return QString::fromStdString(DisplayUtf8(path));
}

QString FileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return Readable(slash == std::string::npos ? path : path.substr(slash + 1));
}
}  // namespace

bool CLoaderDialogs::AskRenameWithoutJpegExtension(const std::string&)
{
    return QMessageBox::question(m_window, Title(), QString::fromUtf8(res::String(res::kStrRenameExtension)),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        == QMessageBox::Yes;
}

bool CLoaderDialogs::ConfirmTrash(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return false;
    const QString text = paths.size() == 1
        ? QStringLiteral("Move \"%1\" to the trash?").arg(FileName(paths.front()))
        : QStringLiteral("Move these %1 files to the trash?").arg(paths.size());
    QMessageBox box(QMessageBox::Question, Title(), text, QMessageBox::Yes | QMessageBox::No, m_window);
    box.setDefaultButton(QMessageBox::Yes);
    if (paths.size() > 1) {
        QStringList names;
        for (const std::string& path : paths)
            names << Readable(path);
        box.setDetailedText(names.join(QLatin1Char('\n')));
    }
    return box.exec() == QMessageBox::Yes;
}

void CLoaderDialogs::ReportTrashFailure(const std::string& path, const std::string& why)
{
    QString text = QStringLiteral("\"%1\" could not be moved to the trash and was kept.").arg(Readable(path));
    if (!why.empty())
        text += QLatin1Char('\n') + QString::fromStdString(DisplayUtf8(why));
    QMessageBox::warning(m_window, Title(), text);
}

ILoaderHost::DragResult CLoaderDialogs::RunDrag(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return DragResult::None;
    auto* data = new QMimeData;
    // Built from the raw bytes, so names that are not UTF-8 arrive intact.
    data->setData(QStringLiteral("text/uri-list"), EncodeUriList(paths));
    // On the heap: Qt deletes a drag itself once the drop is finished, which
    // with another program as the target may be after exec returns.
    auto* drag = new QDrag(m_window);
    drag->setMimeData(data);
    switch (drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction)) {
    case Qt::MoveAction: return DragResult::Moved;
    case Qt::CopyAction: return DragResult::Copied;
    default: return DragResult::None;
    }
}
