#include "common/shell_icon_cache.h"

#include "browse/user_places.h"

#include <QApplication>
#include <QFile>
#include <QFileIconProvider>
#include <QIcon>
#include <QMimeDatabase>
#include <QStyle>
#include <sys/stat.h>

namespace {

bool IsUnder(const std::string& path, std::string_view tree)
{
    return path.size() > tree.size() && path.compare(0, tree.size(), tree) == 0 && path[tree.size()] == '/';
}

QString VolumeIconName(const std::string& mountPoint)
{
    if (IsUnder(mountPoint, "/media") || IsUnder(mountPoint, "/run/media") || IsUnder(mountPoint, "/mnt"))
        return QStringLiteral("drive-removable-media");
    return QStringLiteral("drive-harddisk");
}

// The style's own icon for a theme name, for systems without an icon theme.
QIcon FallbackIcon(const QString& name)
{
    QFileIconProvider provider;
    if (name == QLatin1String("folder-open") && qobject_cast<QApplication*>(QCoreApplication::instance()))
        return QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon);
    if (name.startsWith(QLatin1String("folder")) || name == QLatin1String("user-home"))
        return provider.icon(QAbstractFileIconProvider::Folder);
    if (name == QLatin1String("computer"))
        return provider.icon(QAbstractFileIconProvider::Computer);
    if (name.startsWith(QLatin1String("drive-")))
        return provider.icon(QAbstractFileIconProvider::Drive);
    if (name == QLatin1String("user-desktop"))
        return provider.icon(QAbstractFileIconProvider::Desktop);
    return provider.icon(QAbstractFileIconProvider::File);
}

QIcon ThemeIcon(const QString& name, const QString& generic = QString())
{
    QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull() && !generic.isEmpty())
        icon = QIcon::fromTheme(generic);
    return icon.isNull() ? FallbackIcon(name) : icon;
}

int StyleMetric(QStyle::PixelMetric metric, int fallback)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return fallback;
    const int size = QApplication::style()->pixelMetric(metric);
    return size > 0 ? size : fallback;
}

}  // namespace

QString CShellIconCache::IconNameOf(const CShellFolder& parent, const CShellPidl& relative, bool open)
{
    uint8_t kind = 0;
    std::string_view name;
    CShellPidl last = relative;
    CShellPidl child;
    if (!last.Split(nullptr, &child) || !child.FirstItem(&kind, &name))
        return {};
    if (kind == kItemComputer)
        return QStringLiteral("computer");
    if (kind == kItemHome)
        return QStringLiteral("user-home");
    if (kind == kItemVolume)
        return VolumeIconName(std::string(name));
    std::string path;
    struct stat st {};
    if (!parent.ItemPath(relative, &path) || stat(path.c_str(), &st) != 0)
        return {};  // missing, or a link to nothing
    if (S_ISDIR(st.st_mode)) {
        if (path == DesktopDirectory() && path != HomeDirectory())
            return QStringLiteral("user-desktop");
        return open ? QStringLiteral("folder-open") : QStringLiteral("folder");
    }
    static const QMimeDatabase mimes;
    return mimes
        .mimeTypeForFile(QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size()))),
                         QMimeDatabase::MatchExtension)
        .iconName();
}

bool CShellIconCache::Init()
{
    m_smallSize = StyleMetric(QStyle::PM_SmallIconSize, 16);
    m_largeSize = StyleMetric(QStyle::PM_LargeIconSize, 32);
    m_small.clear();
    m_large.clear();
    m_keys.clear();
    const QString document = QStringLiteral("text-x-generic");
    return AddSlot({QString(), false}, ThemeIcon(document, QStringLiteral("unknown")))
        && AddSlot({QStringLiteral("user-desktop"), true}, ThemeIcon(QStringLiteral("user-desktop")));
}

bool CShellIconCache::AddSlot(const IconKey& key, const QIcon& icon)
{
    if (icon.isNull())
        return false;
    QPixmap small = icon.pixmap(m_smallSize, m_smallSize, QIcon::Normal, key.open ? QIcon::On : QIcon::Off);
    QPixmap large = icon.pixmap(m_largeSize, m_largeSize, QIcon::Normal, key.open ? QIcon::On : QIcon::Off);
    if (small.isNull() || large.isNull())
        return false;
    m_small.push_back(std::move(small));
    m_large.push_back(std::move(large));
    m_keys.push_back(key);
    return true;
}

int CShellIconCache::GetIconIndex(const CShellFolder& parent, const CShellPidl& relative, bool open)
{
    if (m_keys.empty())
        return 0;
    const QString name = IconNameOf(parent, relative, open);
    if (name.isEmpty())
        return 0;
    for (size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i].name == name && m_keys[i].open == open)
            return static_cast<int>(i);
    }
    QString generic;
    const int dash = name.indexOf(QLatin1Char('-'));
    if (dash > 0)
        generic = name.left(dash) + QStringLiteral("-x-generic");
    if (!AddSlot({name, open}, ThemeIcon(name, generic)))
        return 0;
    return static_cast<int>(m_keys.size()) - 1;
}

QIcon CShellIconCache::Icon(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_keys.size())
        index = 0;
    QIcon icon;
    if (static_cast<size_t>(index) < m_small.size()) {
        icon.addPixmap(m_small[static_cast<size_t>(index)]);
        icon.addPixmap(m_large[static_cast<size_t>(index)]);
    }
    return icon;
}
