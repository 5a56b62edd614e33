#pragma once
// CFileTransfer: copies or moves files and folders (whole trees) into a
// target folder, never losing a byte.
//
// Within one mount a move is a rename that never replaces. Otherwise
// every file is written as a new file of the target folder that has no name
// (or a temporary one where the file system can't do without) and is given
// its real name only when complete, never replacing anything; the source of
// a move goes only after its copy is complete, checked and on disk. A
// failure, a full disk or a cancel thus leaves no partial file under a real
// name and the source untouched, while what was moved before stays moved.
//
// A name that is taken is a collision, asked of the handler: Replace (a
// folder merges into the folder of that name; a file replaces the other only
// once its own copy is complete), Skip, Keep both (the arriving item takes a
// free name such as "name (2).jpg") or Cancel, each optionally for every
// later collision of its kind (folder onto folder, or any other).
//
// Refused before anything is touched: a target that is not a folder, a
// folder into itself or its own subfolder (told by identity, so that a bind
// mount does not hide it), an item onto itself (it is in the target
// already), a source that is missing or can't be read through, a path
// through a loop of links, a tree that loops through a mount.
// Symbolic links are copied as links, never followed; FIFOs, devices and
// sockets are skipped and reported, never opened; permissions and times are
// kept. Names of one file (hard links) within one transfer stay one file.
// Replacing an item with itself (another name of the same file) is refused
// for that item.
//
// Thread rules: Run is called once, on any one thread (a worker, for a
// window); the handler is called on that thread. Cancel and Progress may be
// called from any thread meanwhile. The object outlives Run.

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum class TransferKind { Copy, Move };

enum class CollisionAnswer { Replace, Skip, KeepBoth, Cancel };

struct TransferCollision {
    std::string source;    // the arriving item (path, bytes)
    std::string existing;  // the item of that name in the target folder
    bool sourceIsFolder = false;
    bool existingIsFolder = false;
    // Both are folders: Replace merges them.
    bool IsMerge() const { return sourceIsFolder && existingIsFolder; }
};

struct CollisionChoice {
    CollisionAnswer answer = CollisionAnswer::Cancel;
    bool applyToAll = false;  // the same answer for the later collisions of this kind
};

struct TransferProgress {
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
    uint64_t filesDone = 0;  // files and links (a folder renamed whole counts as one)
    uint64_t filesTotal = 0;
};

struct TransferProblem {
    enum class Kind {
        Refused,      // nothing was touched
        Skipped,      // the handler answered Skip
        Unsupported,  // a special file, or a file and a folder of one name
        Failed,       // the transfer stopped here
    };
    Kind kind = Kind::Failed;
    std::string path;    // the item concerned (bytes)
    std::string reason;  // for people
};

enum class TransferOutcome {
    Done,       // every item is in the target
    Partly,     // finished, but some items were skipped (see the problems)
    Refused,    // nothing was touched (see the problems)
    Failed,     // stopped at an error (the last problem); what was done stays done
    Cancelled,  // stopped by Cancel or a Cancel answer; what was done stays done
};

struct TransferResult {
    TransferOutcome outcome = TransferOutcome::Done;
    std::vector<TransferProblem> problems;
};

class ITransferHandler {
public:
    virtual ~ITransferHandler() = default;
    // A collision; called on Run's thread, which waits for the answer.
    virtual CollisionChoice AskCollision(const TransferCollision& collision) = 0;
    // After each file and every few megabytes within one.
    virtual void OnProgress(const TransferProgress& progress) { (void)progress; }
};

class CFileCopier;

class CFileTransfer {
public:
    // `sources` and `targetDir` are paths (bytes), absolute or relative to the
    // current directory. Without a handler every collision cancels.
    CFileTransfer(TransferKind kind, std::vector<std::string> sources, std::string targetDir,
                  ITransferHandler* handler = nullptr);
    ~CFileTransfer();
    CFileTransfer(const CFileTransfer&) = delete;
    CFileTransfer& operator=(const CFileTransfer&) = delete;

    TransferResult Run();
    // Stops at the next few megabytes; the file being copied is dropped.
    void Cancel() { m_cancel = true; }
    TransferProgress Progress() const;

    // Off: every copy is written under a temporary name, as on file systems
    // that have no unnamed files (for the tests).
    void SetUnnamedFiles(bool allowed) { m_unnamedFiles = allowed; }

    // The name "Keep both" gives for the n-th try (n >= 2): "photo (2).jpg",
    // "folder (3)"; shortened at a character boundary to fit a directory
    // entry.
    static std::string NumberedName(const std::string& name, int n, bool isFolder);

private:
    struct Place;
    enum class Step { Go, Stop };

    Step TransferEntry(const Place& from, const struct stat& st, int toDir, std::string toName,
                       const std::string& toFolderPath, int depth);
    Step TransferFolder(const Place& from, const struct stat& st, int toDir, const std::string& toName,
                        const std::string& toPath, bool merge, int depth);
    Step TransferChildren(int fromDir, const std::string& fromPath, int toDir, const std::string& toPath,
                          int depth);
    Step TransferFile(const Place& from, const struct stat& st, int toDir, const std::string& toName,
                      const std::string& toPath, bool replace);
    bool LinkEarlierCopy(const struct stat& st, int toDir, const std::string& toName);
    void NoteCopy(const struct stat& st, int toDir, const std::string& toName, const std::string& toPath);
    Step RemoveMovedFile(const Place& from, const struct stat& copied);
    bool ChooseFreeName(int dir, const std::string& name, bool isFolder, std::string* free) const;
    CollisionChoice Resolve(const TransferCollision& collision);

    Step Fail(const std::string& path, const std::string& reason);
    Step Cancelled();
    void Note(TransferProblem::Kind kind, const std::string& path, const std::string& reason);
    void CountFile();
    void AddBytes(uint64_t bytes);
    void Report();

    const TransferKind m_kind;
    const std::vector<std::string> m_sources;
    const std::string m_targetDir;
    ITransferHandler* const m_handler;
    bool m_unnamedFiles = true;

    // The first copy of each source file of several names: its path, and what
    // the source and the copy were.
    struct Copied {
        std::string path;
        struct stat source;
        struct stat copy;
    };
    std::map<std::pair<dev_t, ino_t>, Copied> m_copies;

    std::unique_ptr<CFileCopier> m_copier;
    TransferResult m_result;
    bool m_stopped = false;  // the outcome is decided: failed or cancelled
    // Answers given for all later collisions: folder onto folder, and the rest.
    bool m_haveFolderAnswer = false;
    bool m_haveFileAnswer = false;
    CollisionAnswer m_folderAnswer = CollisionAnswer::Cancel;
    CollisionAnswer m_fileAnswer = CollisionAnswer::Cancel;

    std::atomic<bool> m_cancel {false};
    std::atomic<uint64_t> m_bytesDone {0};
    std::atomic<uint64_t> m_bytesTotal {0};
    std::atomic<uint64_t> m_filesDone {0};
    std::atomic<uint64_t> m_filesTotal {0};
};
