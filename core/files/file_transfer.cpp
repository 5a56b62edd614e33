#include "files/file_transfer.h"

#include "files/file_copier.h"
#include "files/safe_rename.h"
#include "files/transfer_plan.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>

namespace {

constexpr int kMaxNumberedNames = 10000;

std::string ErrorText(int error)
{
    return std::generic_category().message(error);
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

// An item of a source: the folder that holds it, its entry there, and its
// path for messages.
struct CFileTransfer::Place {
    int dir;
    std::string name;
    std::string path;
};

CFileTransfer::CFileTransfer(TransferKind kind, std::vector<std::string> sources, std::string targetDir,
                             ITransferHandler* handler)
    : m_kind(kind), m_sources(std::move(sources)), m_targetDir(std::move(targetDir)), m_handler(handler)
{
}

CFileTransfer::~CFileTransfer() = default;

TransferProgress CFileTransfer::Progress() const
{
    TransferProgress progress;
    progress.bytesDone = m_bytesDone;
    progress.bytesTotal = m_bytesTotal;
    progress.filesDone = m_filesDone;
    progress.filesTotal = m_filesTotal;
    return progress;
}

TransferResult CFileTransfer::Run()
{
    m_result = {};
    m_stopped = false;
    m_copies.clear();
    TransferPlan plan = PlanTransfer(m_kind, m_sources, m_targetDir);
    if (!plan.refusals.empty()) {
        m_result.outcome = TransferOutcome::Refused;
        m_result.problems = std::move(plan.refusals);
        return m_result;
    }
    m_filesTotal = plan.files;
    m_bytesTotal = plan.bytes;
    m_copier = std::make_unique<CFileCopier>(
        m_cancel, [this](uint64_t bytes) { AddBytes(bytes); }, m_unnamedFiles);
    Report();
    for (const TransferSource& source : plan.sources) {
        const Place from {source.parent.Get(), source.name, source.path};
        if (TransferEntry(from, source.st, plan.target.Get(), source.name, plan.targetPath, 0) == Step::Stop)
            break;
    }
    if (!m_stopped)
        m_result.outcome = m_result.problems.empty() ? TransferOutcome::Done : TransferOutcome::Partly;
    m_copier.reset();
    return m_result;
}

CFileTransfer::Step CFileTransfer::TransferEntry(const Place& from, const struct stat& st, int toDir,
                                                 std::string toName, const std::string& toFolderPath,
                                                 int depth)
{
    if (m_cancel)
        return Cancelled();
    const bool isFolder = S_ISDIR(st.st_mode);
    if (!isFolder && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        Note(TransferProblem::Kind::Unsupported, from.path, "A FIFO, device or socket is not copied");
        return Step::Go;
    }
    bool merge = false;
    bool replace = false;
    struct stat existing {};
    if (::fstatat(toDir, toName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        TransferCollision collision;
        collision.source = from.path;
        collision.existing = JoinPath(toFolderPath, toName);
        collision.sourceIsFolder = isFolder;
        collision.existingIsFolder = S_ISDIR(existing.st_mode);
        switch (Resolve(collision).answer) {
        case CollisionAnswer::Cancel: return Cancelled();
        case CollisionAnswer::Skip:
            Note(TransferProblem::Kind::Skipped, from.path, "An item of that name is in the target folder");
            return Step::Go;
        case CollisionAnswer::KeepBoth:
            if (!ChooseFreeName(toDir, toName, isFolder, &toName))
                return Fail(from.path, "No free name was found for it");
            break;
        case CollisionAnswer::Replace:
            if (collision.sourceIsFolder != collision.existingIsFolder) {
                Note(TransferProblem::Kind::Unsupported, from.path,
                     "A file and a folder of the same name can't replace each other");
                return Step::Go;
            }
            // A rename onto another name of itself does nothing at all.
            if (!isFolder && existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) {
                Note(TransferProblem::Kind::Unsupported, from.path,
                     "It and the item it would replace are the same file");
                return Step::Go;
            }
            merge = isFolder;
            replace = !isFolder;
            break;
        }
    } else if (errno != ENOENT) {
        return Fail(from.path, ErrorText(errno));
    }
    if (isFolder)
        return TransferFolder(from, st, toDir, toName, JoinPath(toFolderPath, toName), merge, depth);
    return TransferFile(from, st, toDir, toName, JoinPath(toFolderPath, toName), replace);
}

CFileTransfer::Step CFileTransfer::TransferFile(const Place& from, const struct stat& st, int toDir,
                                                const std::string& toName, const std::string& toPath,
                                                bool replace)
{
    if (m_kind == TransferKind::Move) {
        // Within one file system a rename; the replaced item, if any, goes in
        // the same step.
        const int error = replace
            ? (::renameat(from.dir, from.name.c_str(), toDir, toName.c_str()) == 0 ? 0 : errno)
            : RenameNoReplace(from.dir, from.name.c_str(), toDir, toName.c_str());
        if (error == 0) {
            CountFile();
            return Step::Go;
        }
        if (error != EXDEV)
            return Fail(from.path, RenameErrorText(error));
    }
    // A move between file systems keeps the source until its copy is on disk;
    // a replaced file goes only once its successor is on disk too.
    const bool durable = m_kind == TransferKind::Move || replace;
    if (!replace && LinkEarlierCopy(st, toDir, toName)) {
        if (const int error = durable ? CFileCopier::SyncFolder(toDir) : 0)
            return Fail(from.path, ErrorText(error));
        CountFile();
        return m_kind == TransferKind::Move ? RemoveMovedFile(from, st) : Step::Go;
    }
    const Publish publish = replace ? Publish::Replace : Publish::NoReplace;
    struct stat copied = st;
    const CopyOutcome outcome = S_ISLNK(st.st_mode)
        ? m_copier->CopyLink(from.dir, from.name, st, toDir, toName, publish, durable)
        : m_copier->CopyFile(from.dir, from.name, st, toDir, toName, publish, durable, &copied);
    if (outcome.cancelled)
        return Cancelled();
    if (!outcome.Ok())
        return Fail(from.path, outcome.error == EEXIST ? RenameErrorText(EEXIST) : outcome.Text());
    NoteCopy(copied, toDir, toName, toPath);
    CountFile();
    if (m_kind == TransferKind::Move)
        return RemoveMovedFile(from, copied);
    return Step::Go;
}

bool CFileTransfer::LinkEarlierCopy(const struct stat& st, int toDir, const std::string& toName)
{
    if (!S_ISREG(st.st_mode) || st.st_nlink < 2)
        return false;
    const auto found = m_copies.find({st.st_dev, st.st_ino});
    if (found == m_copies.end() || !SameFile(found->second.source, st))
        return false;
    // Only while the copy is still the one made, and where the file system
    // allows: otherwise the name gets a copy of its own.
    struct stat now {};
    if (::fstatat(AT_FDCWD, found->second.path.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0
        || !SameFile(now, found->second.copy))
        return false;
    return ::linkat(AT_FDCWD, found->second.path.c_str(), toDir, toName.c_str(), 0) == 0;
}

void CFileTransfer::NoteCopy(const struct stat& st, int toDir, const std::string& toName,
                             const std::string& toPath)
{
    Copied copied {toPath, st, {}};
    if (S_ISREG(st.st_mode) && st.st_nlink > 1
        && ::fstatat(toDir, toName.c_str(), &copied.copy, AT_SYMLINK_NOFOLLOW) == 0)
        m_copies.emplace(std::make_pair(st.st_dev, st.st_ino), std::move(copied));
}

CFileTransfer::Step CFileTransfer::RemoveMovedFile(const Place& from, const struct stat& copied)
{
    struct stat now {};
    if (::fstatat(from.dir, from.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Step::Go : Fail(from.path, ErrorText(errno));
    // Whatever changed since the copy was taken is not deleted: both stay.
    if (!SameFile(now, copied))
        return Fail(from.path,
                    "It changed while it was being moved; the copy and the original are both kept");
    if (::unlinkat(from.dir, from.name.c_str(), 0) != 0)
        return Fail(from.path, "It was copied but could not be removed: " + ErrorText(errno));
    return Step::Go;
}

CFileTransfer::Step CFileTransfer::TransferFolder(const Place& from, const struct stat& st, int toDir,
                                                  const std::string& toName, const std::string& toPath,
                                                  bool merge, int depth)
{
    if (depth >= kMaxTransferDepth)
        return Fail(from.path, "Its folders are nested too deeply");
    if (m_kind == TransferKind::Move && !merge) {
        const int error = RenameNoReplace(from.dir, from.name.c_str(), toDir, toName.c_str());
        if (error == 0) {
            CountFile();
            return Step::Go;
        }
        if (error != EXDEV)
            return Fail(from.path, RenameErrorText(error));
    }
    CUniqueFd source(::openat(from.dir, from.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!source.Valid() || ::fstat(source.Get(), &opened) != 0)
        return Fail(from.path, ErrorText(errno));
    if (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino)
        return Fail(from.path, "It changed while it was being copied");
    // A new folder is ours to write in until it is filled; it takes the
    // source's permissions and times at the end, whatever happens.
    if (!merge && ::mkdirat(toDir, toName.c_str(), 0700) != 0)
        return Fail(from.path, RenameErrorText(errno));
    CUniqueFd target(::openat(toDir, toName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!target.Valid())
        return Fail(from.path, ErrorText(errno));
    const Step step = TransferChildren(source.Get(), from.path, target.Get(), toPath, depth + 1);
    if (!merge)
        CFileCopier::KeepAttributes(target.Get(), st);
    if (step == Step::Stop || m_kind == TransferKind::Copy)
        return step;
    // Emptied, unless something in it was skipped: then it stays with that.
    if (::unlinkat(from.dir, from.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOTEMPTY && errno != EEXIST)
        return Fail(from.path, "Its items were moved but it could not be removed: " + ErrorText(errno));
    return Step::Go;
}

CFileTransfer::Step CFileTransfer::TransferChildren(int fromDir, const std::string& fromPath, int toDir,
                                                    const std::string& toPath, int depth)
{
    std::vector<std::string> names;
    if (!ReadFolderNames(fromDir, &names))
        return Fail(fromPath, ErrorText(errno));
    for (const std::string& name : names) {
        const Place child {fromDir, name, JoinPath(fromPath, name)};
        struct stat st {};
        // Listed a moment ago and gone now: the transfer stops here.
        if (::fstatat(fromDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Fail(child.path, ErrorText(errno));
        if (TransferEntry(child, st, toDir, name, toPath, depth) == Step::Stop)
            return Step::Stop;
    }
    return Step::Go;
}

CollisionChoice CFileTransfer::Resolve(const TransferCollision& collision)
{
    const bool folders = collision.IsMerge();
    if (folders ? m_haveFolderAnswer : m_haveFileAnswer)
        return {folders ? m_folderAnswer : m_fileAnswer, true};
    const CollisionChoice choice = m_handler ? m_handler->AskCollision(collision) : CollisionChoice {};
    if (choice.applyToAll && choice.answer != CollisionAnswer::Cancel) {
        (folders ? m_haveFolderAnswer : m_haveFileAnswer) = true;
        (folders ? m_folderAnswer : m_fileAnswer) = choice.answer;
    }
    return choice;
}

std::string CFileTransfer::NumberedName(const std::string& name, int n, bool isFolder)
{
    std::string stem = name;
    std::string extension;
    const size_t dot = name.rfind('.');
    if (!isFolder && dot != std::string::npos && dot > 0) {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
    const std::string number = " (" + std::to_string(n) + ")";
    if (number.size() + extension.size() >= NAME_MAX) {
        stem = name;
        extension.clear();
    }
    const size_t room = NAME_MAX - number.size() - extension.size();
    if (stem.size() > room) {
        // Cut before a whole character: never inside a UTF-8 sequence.
        size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
        stem.resize(cut);
    }
    return stem + number + extension;
}

bool CFileTransfer::ChooseFreeName(int dir, const std::string& name, bool isFolder, std::string* free) const
{
    for (int n = 2; n < kMaxNumberedNames; ++n) {
        const std::string candidate = NumberedName(name, n, isFolder);
        struct stat st {};
        if (::fstatat(dir, candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        if (errno != ENOENT)
            return false;
        *free = candidate;
        return true;
    }
    return false;
}

CFileTransfer::Step CFileTransfer::Fail(const std::string& path, const std::string& reason)
{
    Note(TransferProblem::Kind::Failed, path, reason);
    m_result.outcome = TransferOutcome::Failed;
    m_stopped = true;
    return Step::Stop;
}

CFileTransfer::Step CFileTransfer::Cancelled()
{
    m_result.outcome = TransferOutcome::Cancelled;
    m_stopped = true;
    return Step::Stop;
}

void CFileTransfer::Note(TransferProblem::Kind kind, const std::string& path, const std::string& reason)
{
    m_result.problems.push_back({kind, path, reason});
}

void CFileTransfer::CountFile()
{
    // Renames inside a merge were not counted beforehand.
    if (++m_filesDone > m_filesTotal)
        m_filesTotal = m_filesDone.load();
    Report();
}

void CFileTransfer::AddBytes(uint64_t bytes)
{
    if ((m_bytesDone += bytes) > m_bytesTotal)
        m_bytesTotal = m_bytesDone.load();
    if (bytes)
        Report();
}

void CFileTransfer::Report()
{
    if (m_handler)
        m_handler->OnProgress(Progress());
}
