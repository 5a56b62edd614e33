#include "browse/folder_watcher.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "loader/thumbs_log.h"

namespace {
// Creating, deleting and renaming change the listing; a write that ends
// (close after writing) or a file moved in under a name changes a file's
// contents. The folder itself going away ends the watch's use.
constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
}  // namespace

CFolderWatcher::CFolderWatcher(QObject* parent) : QObject(parent)
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(kBatchMs);
    connect(&m_batch, &QTimer::timeout, this, &CFolderWatcher::Report);
}

CFolderWatcher::~CFolderWatcher()
{
    Close();
}

void CFolderWatcher::Close()
{
    m_batch.stop();
    m_named.clear();
    m_rewritten.clear();
    m_overflowed = false;
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = m_watch = -1;
    m_path.clear();
}

bool CFolderWatcher::Watch(const std::string& path)
{
    Close();
    if (path.empty())
        return true;
    // A descriptor per folder: the events read never belong to a folder
    // watched before.
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        qCDebug(lcThumbs) << "no inotify:" << std::strerror(errno);
        return false;
    }
    m_watch = ::inotify_add_watch(m_fd, path.c_str(), kEvents);
    if (m_watch < 0) {
        qCDebug(lcThumbs) << "cannot watch" << path.c_str() << std::strerror(errno);
        Close();
        return false;
    }
    m_path = path;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CFolderWatcher::ReadEvents);
    return true;
}

void CFolderWatcher::ReadEvents()
{
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    bool any = false;
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            any = true;
            if ((event->mask & IN_Q_OVERFLOW) || m_named.size() >= kMaxNames)
                m_overflowed = true;
            if (m_overflowed || event->len == 0 || !event->name[0])
                continue;
            m_named.insert(event->name);
            if (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO))
                m_rewritten.insert(event->name);
        }
    }
    // The batch's wait starts with its first change and is not stretched by
    // the later ones, so a steady stream still gets reported.
    if (any && !m_batch.isActive())
        m_batch.start();
}

void CFolderWatcher::Report()
{
    std::set<std::string> named, rewritten;
    named.swap(m_named);
    rewritten.swap(m_rewritten);
    const bool overflowed = m_overflowed;
    m_overflowed = false;
    emit Changed(named, rewritten, overflowed);
}
