#include "browse/folder_watcher.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

#include <QLoggingCategory>
#include <QSocketNotifier>

Q_LOGGING_CATEGORY(lcWatch, "lumvane.watch", QtWarningMsg)

namespace {
// Creating, deleting and renaming change the listing; a write that ends
// (close after writing) or a file moved in under a name changes a file's
// contents. The folder itself going away ends the watch's use.
constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
}  // namespace

CFolderWatcher::CFolderWatcher(int batchMs, QObject* parent) : QObject(parent)
{
    m_batch.setSingleShot(true);
    m_batch.setInterval(batchMs);
    connect(&m_batch, &QTimer::timeout, this, &CFolderWatcher::Report);
}

CFolderWatcher::~CFolderWatcher()
{
    Close();
}

void CFolderWatcher::Close()
{
    m_batch.stop();
    m_changes.clear();
    delete m_notifier;
    m_notifier = nullptr;
    m_fd.Reset();
    m_watches.clear();
    m_paths.clear();
    m_path.clear();
}

bool CFolderWatcher::Watch(const std::string& path)
{
    // A new descriptor: the events read never belong to a folder watched
    // before.
    Close();
    if (path.empty())
        return true;
    if (!Add(path)) {
        Close();
        return false;
    }
    m_path = path;
    return true;
}

bool CFolderWatcher::Add(const std::string& path)
{
    if (m_watches.count(path))
        return true;
    if (!m_fd.Valid()) {
        m_fd.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (!m_fd.Valid()) {
            qCDebug(lcWatch) << "no inotify:" << std::strerror(errno);
            return false;
        }
        m_notifier = new QSocketNotifier(m_fd.Get(), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &CFolderWatcher::ReadEvents);
    }
    // Two paths of one folder (a link on the way) share its watch.
    const int watch = ::inotify_add_watch(m_fd.Get(), path.c_str(), kEvents);
    if (watch < 0) {
        qCDebug(lcWatch) << "cannot watch" << path.c_str() << std::strerror(errno);
        return false;
    }
    m_watches[path] = watch;
    m_paths[watch].insert(path);
    return true;
}

void CFolderWatcher::Remove(const std::string& path)
{
    const auto it = m_watches.find(path);
    if (it == m_watches.end())
        return;
    const int watch = it->second;
    m_watches.erase(it);
    m_changes.erase(path);
    if (path == m_path)
        m_path.clear();
    // Events of the watch still queued find it gone and are passed over.
    std::set<std::string>& paths = m_paths[watch];
    paths.erase(path);
    if (paths.empty()) {
        m_paths.erase(watch);
        ::inotify_rm_watch(m_fd.Get(), watch);
    }
}

void CFolderWatcher::Postpone(const FolderBatch& batch)
{
    for (const auto& [path, change] : batch) {
        FolderChange& into = m_changes[path];
        into.named.insert(change.named.begin(), change.named.end());
        into.rewritten.insert(change.rewritten.begin(), change.rewritten.end());
        into.overflowed = into.overflowed || change.overflowed;
    }
    if (!m_batch.isActive())
        m_batch.start();
}

void CFolderWatcher::ReadEvents()
{
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    bool any = false;
    for (;;) {
        const ssize_t got = ::read(m_fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const bool known = (event->mask & IN_Q_OVERFLOW) || m_paths.count(event->wd);
            any = any || known;
            if (known)
                TakeEvent(event->wd, event->mask, event->len ? event->name : "");
        }
    }
    // The batch's wait starts with its first change and is not stretched by
    // the later ones, so a steady stream still gets reported.
    if (any && !m_batch.isActive())
        m_batch.start();
}

void CFolderWatcher::TakeEvent(int watch, uint32_t mask, const char* name)
{
    // The kernel dropped events: any watched folder may have changed.
    if (mask & IN_Q_OVERFLOW) {
        for (const auto& entry : m_watches)
            m_changes[entry.first].overflowed = true;
        return;
    }
    const auto it = m_paths.find(watch);
    for (const std::string& path : it->second) {
        FolderChange& change = m_changes[path];
        if (change.named.size() >= kMaxNames)
            change.overflowed = true;
        if (change.overflowed || !name[0])
            continue;
        change.named.insert(name);
        if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO))
            change.rewritten.insert(name);
    }
    // The folder was deleted or its file system unmounted: the kernel ended
    // the watch.
    if (mask & IN_IGNORED) {
        for (const std::string& path : it->second)
            m_watches.erase(path);
        m_paths.erase(it);
    }
}

void CFolderWatcher::Report()
{
    FolderBatch batch;
    batch.swap(m_changes);
    if (!batch.empty())
        emit Changed(batch);
}
