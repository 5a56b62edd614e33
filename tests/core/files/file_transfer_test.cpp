// The transfer engine: copy and move, within one file system and onto a
// second one (a tmpfs of the test's own), of files, trees, links and odd
// names; collisions with every answer; refusals that touch nothing; a full
// disk, a cancel, a source that vanishes or grows halfway. After every case
// each source byte exists exactly once (move) or twice (copy) and no
// temporary file is left.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <memory>

#include "files/file_transfer.h"
#include "tests/core/browse/browse_test_util.h"
#include "tests/core/files/transfer_test_util.h"

using namespace transfertest;

namespace {

struct Setting {
    TransferKind kind;
    bool across;   // the target lies on a second file system
    bool unnamed;  // copies are written as unnamed files
};

void PrintTo(const Setting& setting, std::ostream* out)
{
    *out << (setting.kind == TransferKind::Copy ? "copy" : "move") << (setting.across ? " across" : " within")
         << (setting.unnamed ? "" : ", named temporaries");
}

std::string SettingName(const ::testing::TestParamInfo<Setting>& info)
{
    std::string name = info.param.kind == TransferKind::Copy ? "Copy" : "Move";
    name += info.param.across ? "Across" : "Within";
    return name + (info.param.unnamed ? "" : "Named");
}

constexpr Setting kSettings[] = {
    {TransferKind::Copy, false, true}, {TransferKind::Move, false, true},  {TransferKind::Copy, true, true},
    {TransferKind::Move, true, true},  {TransferKind::Copy, false, false}, {TransferKind::Move, true, false},
};

void MakeDir(const std::string& path, mode_t mode = 0755)
{
    ASSERT_EQ(::mkdir(path.c_str(), mode), 0) << path;
}

void MakeFile(const std::string& path, size_t size = 64, mode_t mode = 0644)
{
    const size_t slash = path.rfind('/');
    ASSERT_TRUE(WriteBytes(path, Content(path.substr(slash + 1) + path, size), mode)) << path;
}

void MakeLink(const std::string& text, const std::string& path)
{
    ASSERT_EQ(::symlink(text.c_str(), path.c_str()), 0) << path;
}

// Gives every item below `root` a time of its own in 2001, folders last.
void AgeTree(const std::string& root)
{
    const Tree tree = Snap(root);
    time_t when = 978307200;
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        const timespec times[2] = {{when, 0}, {when, 500}};
        ::utimensat(AT_FDCWD, (root + "/" + it->first).c_str(), times, AT_SYMLINK_NOFOLLOW);
        when += 3600;
    }
}

class TransferTest : public ::testing::TestWithParam<Setting> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        m_src = m_home.path() + "/src";
        MakeDir(m_src);
        if (GetParam().across) {
            m_second = std::make_unique<ScopedMount>("size=256m");
            if (!m_second->Mounted())
                GTEST_SKIP() << "no second file system could be mounted (" << m_second->Why() << ")";
            m_dst = m_second->Path() + "/dst";
        } else {
            m_dst = m_home.path() + "/dst";
        }
        MakeDir(m_dst);
    }

    TransferKind Kind() const { return GetParam().kind; }
    bool Renames() const { return Kind() == TransferKind::Move && !GetParam().across; }
    std::string S(const std::string& relative) const { return m_src + "/" + relative; }
    std::string T(const std::string& relative) const { return m_dst + "/" + relative; }

    // Runs the transfer of these sources (relative to the source folder).
    TransferResult Run(const std::vector<std::string>& relative, const std::string& target = {})
    {
        std::vector<std::string> sources;
        for (const std::string& r : relative)
            sources.push_back(S(r));
        m_before = Snap(m_src);
        CFileTransfer transfer(Kind(), sources, target.empty() ? m_dst : target, &m_handler);
        transfer.SetUnnamedFiles(GetParam().unnamed);
        m_transfer = &transfer;
        TransferResult result = transfer.Run();
        m_transfer = nullptr;
        m_progress = transfer.Progress();
        for (const std::string& gone : m_deletedByTest)
            m_before.erase(gone);
        ExpectNothingLost(Kind(), m_before, Snap(m_src), Snap(m_dst));
        return result;
    }

    browsetest::TempDir m_home;
    std::unique_ptr<ScopedMount> m_second;
    std::string m_src;
    std::string m_dst;
    ScriptedHandler m_handler;
    CFileTransfer* m_transfer = nullptr;
    TransferProgress m_progress;
    Tree m_before;
    std::vector<std::string> m_deletedByTest;  // left out of the check that nothing was lost
};

// ---- What is transferred ----

struct Layout {
    const char* name;
    std::function<void(const std::string& src)> make;
    std::vector<std::string> sources;
};

const std::string kLong = std::string(251, 'n') + ".jpg";  // 255 bytes, the most a name holds

const Layout kLayouts[] = {
    {"single file", [](const std::string& s) { MakeFile(s + "/photo.jpg", 5000, 0640); }, {"photo.jpg"}},
    {"nested tree",
     [](const std::string& s) {
         MakeDir(s + "/trip");
         MakeDir(s + "/trip/day1", 0750);
         MakeDir(s + "/trip/day2");
         MakeDir(s + "/trip/day2/deeper");
         MakeDir(s + "/trip/empty", 0700);
         MakeFile(s + "/trip/top.jpg");
         MakeFile(s + "/trip/day1/a.jpg", 300000);
         MakeFile(s + "/trip/day1/b.jpg", 0, 0600);
         MakeFile(s + "/trip/day2/deeper/c.jpg", 70000, 0444);
     },
     {"trip"}},
    {"empty folder", [](const std::string& s) { MakeDir(s + "/nothing", 0711); }, {"nothing"}},
    {"links relative, absolute, dangling, looping",
     [](const std::string& s) {
         MakeDir(s + "/links");
         MakeFile(s + "/links/target.jpg");
         MakeLink("target.jpg", s + "/links/relative");
         MakeLink(s + "/links/target.jpg", s + "/links/absolute");
         MakeLink("missing.jpg", s + "/links/dangling");
         MakeLink("loop-b", s + "/links/loop-a");
         MakeLink("loop-a", s + "/links/loop-b");
         MakeLink("links", s + "/to-folder");
     },
     {"links", "to-folder"}},
    {"odd names",
     [](const std::string& s) {
         for (const std::string& name :
              {std::string("new\nline.jpg"), std::string("-rf.jpg"), std::string("--"), kLong,
               std::string("\xff\xfe not utf8.jpg"), std::string(" ")})
             MakeFile(s + "/" + name);
         MakeDir(s + "/-dir\n\xe9");
         MakeFile(s + "/-dir\n\xe9/" + kLong);
     },
     {"new\nline.jpg", "-rf.jpg", "--", kLong, "\xff\xfe not utf8.jpg", " ", "-dir\n\xe9"}},
    {"several at once",
     [](const std::string& s) {
         MakeFile(s + "/a.jpg");
         MakeDir(s + "/f1");
         MakeFile(s + "/f1/x.jpg");
         MakeDir(s + "/f2");
     },
     {"a.jpg", "f1", "f2", "a.jpg"}},
    {"names of one file",
     [](const std::string& s) {
         MakeDir(s + "/linked");
         MakeDir(s + "/linked/sub");
         MakeFile(s + "/linked/a.jpg");
         ASSERT_EQ(::link((s + "/linked/a.jpg").c_str(), (s + "/linked/sub/b.jpg").c_str()), 0);
         ASSERT_EQ(::link((s + "/linked/a.jpg").c_str(), (s + "/c.jpg").c_str()), 0);
     },
     {"linked", "c.jpg"}},
};

TEST_P(TransferTest, EveryLayoutArrivesWhole)
{
    for (size_t i = 0; i < std::size(kLayouts); ++i) {
        const Layout& layout = kLayouts[i];
        SCOPED_TRACE(layout.name);
        const std::string src = S(std::to_string(i));
        const std::string dst = T(std::to_string(i));
        MakeDir(src);
        MakeDir(dst);
        layout.make(src);
        AgeTree(src);
        const Tree before = Snap(src);
        std::vector<std::string> sources;
        for (const std::string& name : layout.sources)
            sources.push_back(std::to_string(i) + "/" + name);
        const TransferResult result = Run(sources, dst);
        EXPECT_EQ(result.outcome, TransferOutcome::Done);
        EXPECT_TRUE(result.problems.empty());

        // Everything is in the target as it was: data, link texts,
        // permissions and times; names of one file are still one file. A
        // move within one file system renamed.
        const Tree after = Snap(dst);
        EXPECT_EQ(after.size(), before.size());
        std::map<ino_t, ino_t> files;
        for (const auto& [path, was] : before) {
            const auto found = after.find(path);
            ASSERT_NE(found, after.end()) << path;
            const Entry& is = found->second;
            EXPECT_EQ(files.emplace(was.inode, is.inode).first->second, is.inode) << path;
            EXPECT_EQ(is.type, was.type) << path;
            EXPECT_EQ(is.data, was.data) << path;
            EXPECT_EQ(is.mode, was.mode) << path;
            EXPECT_EQ(is.mtime.tv_sec, was.mtime.tv_sec) << path;
            if (Renames()) {
                EXPECT_EQ(is.inode, was.inode) << path;
            }
        }
        if (Kind() == TransferKind::Move) {
            EXPECT_TRUE(Snap(src).empty());
        }
        EXPECT_EQ(m_progress.filesDone, m_progress.filesTotal);
        EXPECT_EQ(m_progress.bytesDone, m_progress.bytesTotal);
    }
}

TEST_P(TransferTest, SpecialFilesAreSkippedNeverOpened)
{
    // Opening a FIFO without a writer would wait for good.
    MakeDir(S("mixed"));
    ASSERT_EQ(::mkfifo(S("mixed/pipe").c_str(), 0644), 0);
    MakeFile(S("mixed/ok.jpg"));
    ASSERT_EQ(::mkfifo(S("pipe").c_str(), 0644), 0);
    MakeFile(S("ok.jpg"));
    const TransferResult result = Run({"pipe", "ok.jpg", "mixed"});
    EXPECT_TRUE(browsetest::Exists(S("pipe")));
    EXPECT_TRUE(browsetest::Exists(T("ok.jpg")));
    EXPECT_TRUE(browsetest::Exists(T("mixed/ok.jpg")));
    EXPECT_EQ(result.outcome, TransferOutcome::Partly);
    ASSERT_FALSE(result.problems.empty());
    EXPECT_EQ(result.problems[0].kind, TransferProblem::Kind::Unsupported);
    EXPECT_EQ(result.problems[0].path, S("pipe"));
    if (Renames()) {
        // The folder went whole, its FIFO with it.
        EXPECT_EQ(result.problems.size(), 1u);
        EXPECT_TRUE(browsetest::Exists(T("mixed/pipe")));
    } else {
        // The FIFO stays where it was, and a moved folder stays with it.
        ASSERT_EQ(result.problems.size(), 2u);
        EXPECT_EQ(result.problems[1].path, S("mixed/pipe"));
        EXPECT_TRUE(browsetest::Exists(S("mixed/pipe")));
        EXPECT_FALSE(browsetest::Exists(T("mixed/pipe")));
    }
}

// ---- Collisions ----

struct CollisionCase {
    const char* name;
    std::vector<CollisionChoice> answers;
    size_t questions;
    TransferOutcome outcome;
    // What the target holds afterwards: name and whose bytes ("new"/"old").
    std::vector<std::pair<const char*, const char*>> target;
};

constexpr CollisionAnswer kReplace = CollisionAnswer::Replace;
constexpr CollisionAnswer kSkip = CollisionAnswer::Skip;
constexpr CollisionAnswer kKeepBoth = CollisionAnswer::KeepBoth;
constexpr CollisionAnswer kCancel = CollisionAnswer::Cancel;

const CollisionCase kCollisions[] = {
    {"replace each",
     {{kReplace, false}, {kReplace, false}},
     2,
     TransferOutcome::Done,
     {{"a.jpg", "new"}, {"b.jpg", "new"}}},
    {"replace all", {{kReplace, true}}, 1, TransferOutcome::Done, {{"a.jpg", "new"}, {"b.jpg", "new"}}},
    {"skip each",
     {{kSkip, false}, {kSkip, false}},
     2,
     TransferOutcome::Partly,
     {{"a.jpg", "old"}, {"b.jpg", "old"}}},
    {"skip then replace",
     {{kSkip, false}, {kReplace, false}},
     2,
     TransferOutcome::Partly,
     {{"a.jpg", "old"}, {"b.jpg", "new"}}},
    {"keep both for all",
     {{kKeepBoth, true}},
     1,
     TransferOutcome::Done,
     {{"a.jpg", "old"}, {"a (2).jpg", "new"}, {"b.jpg", "old"}, {"b (2).jpg", "new"}}},
    {"cancel", {{kCancel, true}}, 1, TransferOutcome::Cancelled, {{"a.jpg", "old"}, {"b.jpg", "old"}}},
    {"no answer cancels", {}, 1, TransferOutcome::Cancelled, {{"a.jpg", "old"}, {"b.jpg", "old"}}},
};

TEST_P(TransferTest, CollisionsFollowTheAnswer)
{
    for (size_t i = 0; i < std::size(kCollisions); ++i) {
        const CollisionCase& c = kCollisions[i];
        SCOPED_TRACE(c.name);
        const std::string n = std::to_string(i);
        MakeDir(S(n));
        MakeDir(T(n));
        for (const char* name : {"a.jpg", "b.jpg"}) {
            ASSERT_TRUE(WriteBytes(S(n + "/" + name), "new " + std::string(name) + " " + n));
            ASSERT_TRUE(WriteBytes(T(n + "/" + name), "old " + std::string(name) + " " + n));
        }
        // "a (2).jpg" is free, but the next name after a taken one is found too.
        ASSERT_TRUE(WriteBytes(T(n + "/b (2).jpg.x"), "other"));
        m_handler.asked.clear();
        m_handler.answers.assign(c.answers.begin(), c.answers.end());
        const TransferResult result = Run({n + "/a.jpg", n + "/b.jpg"}, T(n));
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(m_handler.asked.size(), c.questions);
        ASSERT_FALSE(m_handler.asked.empty());
        EXPECT_EQ(m_handler.asked[0].source, S(n + "/a.jpg"));
        EXPECT_EQ(m_handler.asked[0].existing, T(n + "/a.jpg"));
        EXPECT_FALSE(m_handler.asked[0].IsMerge());

        Tree expected;
        for (const auto& [name, whose] : c.target) {
            const std::string base = std::string(name).substr(0, 1) + ".jpg";
            expected[name].data = std::string(whose) + " " + base + " " + n;
        }
        expected["b (2).jpg.x"].data = "other";
        const Tree target = Snap(T(n));
        ASSERT_EQ(target.size(), expected.size());
        for (const auto& [name, entry] : expected)
            EXPECT_EQ(browsetest::ReadAll(T(n + "/" + name)), entry.data) << name;
    }
}

TEST_P(TransferTest, FolderMeetingFolderMerges)
{
    MakeDir(S("album"));
    MakeFile(S("album/new.jpg"));
    ASSERT_TRUE(WriteBytes(S("album/same.jpg"), "arriving"));
    ASSERT_TRUE(WriteBytes(S("album/skip.jpg"), "arriving skip"));
    MakeDir(S("album/sub"));
    MakeFile(S("album/sub/deep.jpg"));
    MakeDir(T("album"));
    MakeFile(T("album/old.jpg"));
    ASSERT_TRUE(WriteBytes(T("album/same.jpg"), "staying"));
    ASSERT_TRUE(WriteBytes(T("album/skip.jpg"), "staying skip"));
    MakeDir(T("album/sub"));
    // Merge for every folder; the file answers are asked on their own.
    m_handler.answers = {{kReplace, true}, {kKeepBoth, false}, {kSkip, false}};
    const TransferResult result = Run({"album"});
    EXPECT_EQ(result.outcome, TransferOutcome::Partly);
    ASSERT_EQ(m_handler.asked.size(), 3u);
    EXPECT_TRUE(m_handler.asked[0].IsMerge());
    EXPECT_EQ(m_handler.asked[1].source, S("album/same.jpg"));
    EXPECT_EQ(m_handler.asked[2].source, S("album/skip.jpg"));
    EXPECT_EQ(browsetest::ReadAll(T("album/same.jpg")), "staying");
    EXPECT_EQ(browsetest::ReadAll(T("album/same (2).jpg")), "arriving");
    EXPECT_EQ(browsetest::ReadAll(T("album/skip.jpg")), "staying skip");
    EXPECT_TRUE(browsetest::Exists(T("album/old.jpg")));
    EXPECT_TRUE(browsetest::Exists(T("album/new.jpg")));
    EXPECT_TRUE(browsetest::Exists(T("album/sub/deep.jpg")));
    if (Kind() == TransferKind::Move) {
        // The skipped file keeps its folder; the emptied subfolder went.
        EXPECT_EQ(Snap(S("album")).size(), 1u);
        EXPECT_TRUE(browsetest::Exists(S("album/skip.jpg")));
    }
}

TEST_P(TransferTest, FileAndFolderNeverReplaceEachOther)
{
    MakeFile(S("x"));
    MakeDir(S("y"));
    MakeFile(S("y/in.jpg"));
    MakeDir(T("x"));
    MakeFile(T("x/kept.jpg"));
    MakeFile(T("y"));
    m_handler.answers = {{kReplace, true}};
    const TransferResult result = Run({"x", "y"});
    EXPECT_EQ(result.outcome, TransferOutcome::Partly);
    ASSERT_EQ(result.problems.size(), 2u);
    EXPECT_EQ(result.problems[0].kind, TransferProblem::Kind::Unsupported);
    EXPECT_TRUE(browsetest::Exists(T("x/kept.jpg")));
    EXPECT_TRUE(browsetest::Exists(S("x")));
    EXPECT_TRUE(browsetest::Exists(S("y/in.jpg")));
}

// ---- Stopping halfway ----

TEST_P(TransferTest, CancelBetweenFilesKeepsWhatWasDone)
{
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"})
        MakeFile(S(name), 20000);
    m_handler.onProgress = [this](const TransferProgress& p) {
        if (p.filesDone == 2)
            m_transfer->Cancel();
    };
    const TransferResult result = Run({"1.jpg", "2.jpg", "3.jpg", "4.jpg"});
    EXPECT_EQ(result.outcome, TransferOutcome::Cancelled);
    EXPECT_EQ(Snap(m_dst).size(), 2u);
    EXPECT_TRUE(browsetest::Exists(T("2.jpg")));
    EXPECT_TRUE(browsetest::Exists(S("3.jpg")));
}

TEST_P(TransferTest, CancelInsideAFileLeavesNoPart)
{
    if (Renames())
        GTEST_SKIP() << "a rename has no inside";
    MakeFile(S("big.jpg"), 40u << 20);
    m_handler.onProgress = [this](const TransferProgress& p) {
        if (p.bytesDone > 0 && p.bytesDone < p.bytesTotal)
            m_transfer->Cancel();
    };
    const TransferResult result = Run({"big.jpg"});
    EXPECT_EQ(result.outcome, TransferOutcome::Cancelled);
    EXPECT_TRUE(Snap(m_dst).empty());
    EXPECT_EQ(browsetest::ReadAll(S("big.jpg")).size(), 40u << 20);
}

TEST_P(TransferTest, SourceDeletedAfterTheListingStopsThere)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        MakeFile(S(name));
    m_handler.onProgress = [this](const TransferProgress& p) {
        if (p.filesDone == 1)
            ::unlink(S("b.jpg").c_str());
    };
    m_deletedByTest = {"b.jpg"};
    const TransferResult result = Run({"a.jpg", "b.jpg", "c.jpg"});
    EXPECT_EQ(result.outcome, TransferOutcome::Failed);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].path, S("b.jpg"));
    EXPECT_EQ(result.problems[0].reason, "No such file or directory");
    EXPECT_TRUE(browsetest::Exists(T("a.jpg")));
    EXPECT_FALSE(browsetest::Exists(T("c.jpg")));
    EXPECT_TRUE(browsetest::Exists(S("c.jpg")));
}

TEST_P(TransferTest, FileGrowingWhileCopiedIsKept)
{
    if (Renames())
        GTEST_SKIP() << "a rename copies nothing";
    MakeFile(S("growing.jpg"), 40u << 20);
    bool grown = false;
    m_handler.onProgress = [&](const TransferProgress& p) {
        if (p.bytesDone > 0 && !grown) {
            grown = true;
            const int fd = ::open(S("growing.jpg").c_str(), O_WRONLY | O_APPEND);
            ASSERT_EQ(::write(fd, "more", 4), 4);
            ::close(fd);
        }
    };
    std::vector<std::string> sources = {S("growing.jpg")};
    CFileTransfer transfer(Kind(), sources, m_dst, &m_handler);
    const TransferResult result = transfer.Run();
    EXPECT_EQ(result.outcome, TransferOutcome::Failed);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].reason, "It changed while it was being copied");
    EXPECT_TRUE(Snap(m_dst).empty());
    EXPECT_EQ(browsetest::ReadAll(S("growing.jpg")).size(), (40u << 20) + 4);
}

INSTANTIATE_TEST_SUITE_P(Settings, TransferTest, ::testing::ValuesIn(kSettings), SettingName);

// ---- A target file system that fills up ----

class FullDiskTest : public ::testing::TestWithParam<Setting> {};

TEST_P(FullDiskTest, StopsAtTheFileThatDoesNotFitAndLeavesNoPart)
{
    browsetest::TempDir home;
    const std::string src = home.path();
    ScopedMount small("size=1m");
    if (!small.Mounted())
        GTEST_SKIP() << "no small file system could be mounted (" << small.Why() << ")";
    MakeFile(src + "/a.jpg", 300000);
    MakeFile(src + "/b.jpg", 300000);
    MakeFile(src + "/c.jpg", 600000);
    const Tree before = Snap(src);
    CFileTransfer transfer(GetParam().kind, {src + "/a.jpg", src + "/b.jpg", src + "/c.jpg"}, small.Path());
    transfer.SetUnnamedFiles(GetParam().unnamed);
    const TransferResult result = transfer.Run();
    ExpectNothingLost(GetParam().kind, before, Snap(src), Snap(small.Path()));
    EXPECT_EQ(result.outcome, TransferOutcome::Failed);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].path, src + "/c.jpg");
    EXPECT_EQ(result.problems[0].reason, "No space left on device");
    const Tree target = Snap(small.Path());
    EXPECT_EQ(target.size(), 2u);
    EXPECT_TRUE(target.count("a.jpg") && target.count("b.jpg"));
    EXPECT_TRUE(browsetest::Exists(src + "/c.jpg"));
}

INSTANTIATE_TEST_SUITE_P(Settings, FullDiskTest,
                         ::testing::Values(Setting {TransferKind::Copy, true, true},
                                           Setting {TransferKind::Move, true, true},
                                           Setting {TransferKind::Copy, true, false},
                                           Setting {TransferKind::Move, true, false}),
                         SettingName);

// ---- Refused before anything is touched ----

struct Refusal {
    const char* name;
    std::vector<std::string> sources;  // relative to the folder of the test
    std::string target;
    const char* reason;
    bool copyOnly = false;  // a move within one file system renames and needs no walk
};

const Refusal kRefusals[] = {
    {"folder into itself", {"f"}, "f", "A folder can't go into itself"},
    {"folder into its subfolder", {"f"}, "f/sub", "A folder can't go into its own subfolder"},
    {"into its subfolder through a link", {"g", "f"}, "to-sub", "A folder can't go into its own subfolder"},
    {"file onto itself", {"f/a.jpg"}, "f", "It is in that folder already"},
    {"target is a file", {"f/a.jpg"}, "file.txt", "It is not a folder"},
    {"target is missing", {"f/a.jpg"}, "nowhere", "No such file or directory"},
    {"target is a link loop", {"f/a.jpg"}, "loop-a", "Too many levels of symbolic links"},
    {"source through a link loop", {"loop-a/x.jpg"}, "g", "Too many levels of symbolic links"},
    {"one source missing among good ones", {"f/a.jpg", "f/none.jpg"}, "g", "No such file or directory"},
    {"the root", {"/"}, "g", "The root folder can't be moved or copied"},
    {"nothing given", {}, "g", "Nothing to move or copy"},
    {"tree too deep", {"deep"}, "g", "Its folders are nested too deeply", true},
};

TEST(TransferRefusalTest, RefusedTransfersTouchNothing)
{
    browsetest::TempDir home;
    const std::string root = home.path();
    MakeDir(root + "/f");
    MakeDir(root + "/f/sub");
    MakeFile(root + "/f/a.jpg");
    MakeDir(root + "/g");
    MakeFile(root + "/file.txt");
    MakeLink("f/sub", root + "/to-sub");
    MakeLink("loop-b", root + "/loop-a");
    MakeLink("loop-a", root + "/loop-b");
    std::string deep = root + "/deep";
    for (int i = 0; i <= 201; ++i, deep += "/d")
        MakeDir(deep);
    const Tree before = Snap(root);
    for (const Refusal& refusal : kRefusals) {
        for (TransferKind kind : {TransferKind::Copy, TransferKind::Move}) {
            if (refusal.copyOnly && kind == TransferKind::Move)
                continue;
            SCOPED_TRACE(refusal.name);
            std::vector<std::string> sources;
            for (const std::string& s : refusal.sources)
                sources.push_back(s[0] == '/' ? s : root + "/" + s);
            ScriptedHandler handler;
            const TransferResult result
                = CFileTransfer(kind, sources, root + "/" + refusal.target, &handler).Run();
            EXPECT_EQ(result.outcome, TransferOutcome::Refused);
            ASSERT_FALSE(result.problems.empty());
            EXPECT_EQ(result.problems.back().kind, TransferProblem::Kind::Refused);
            EXPECT_EQ(result.problems.back().reason, refusal.reason);
            EXPECT_TRUE(handler.asked.empty());
            EXPECT_EQ(Snap(root).size(), before.size());
        }
    }
    const Tree after = Snap(root);
    for (const auto& [path, entry] : before) {
        ASSERT_TRUE(after.count(path)) << path;
        EXPECT_EQ(after.at(path).inode, entry.inode) << path;
    }
}

TEST(TransferRefusalTest, ReadOnlyFileSystems)
{
    browsetest::TempDir home;
    MakeFile(home.path() + "/a.jpg");
    ScopedMount readOnly("size=1m", MS_RDONLY);
    if (!readOnly.Mounted())
        GTEST_SKIP() << "no read-only file system could be mounted (" << readOnly.Why() << ")";
    for (TransferKind kind : {TransferKind::Copy, TransferKind::Move}) {
        const TransferResult result = CFileTransfer(kind, {home.path() + "/a.jpg"}, readOnly.Path()).Run();
        EXPECT_EQ(result.outcome, TransferOutcome::Refused);
        ASSERT_EQ(result.problems.size(), 1u);
        EXPECT_EQ(result.problems[0].path, readOnly.Path());
        EXPECT_EQ(result.problems[0].reason, "Read-only file system");
    }
    // Out of a read-only file system a copy goes, a move is refused.
    ScopedMount source("size=1m");
    ASSERT_TRUE(source.Mounted());
    MakeDir(source.Path() + "/album");
    MakeFile(source.Path() + "/album/b.jpg");
    ASSERT_EQ(::mount(nullptr, source.Path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    const TransferResult moved
        = CFileTransfer(TransferKind::Move, {source.Path() + "/album"}, home.path()).Run();
    EXPECT_EQ(moved.outcome, TransferOutcome::Refused);
    ASSERT_EQ(moved.problems.size(), 1u);
    EXPECT_EQ(moved.problems[0].reason, "It can't be taken out of its folder: Read-only file system");
    EXPECT_FALSE(browsetest::Exists(home.path() + "/album"));
    const TransferResult copied
        = CFileTransfer(TransferKind::Copy, {source.Path() + "/album"}, home.path()).Run();
    EXPECT_EQ(copied.outcome, TransferOutcome::Done);
    EXPECT_TRUE(browsetest::Exists(home.path() + "/album/b.jpg"));
}

TEST(TransferRefusalTest, ReadOnlyFoldersForAUser)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser may write anywhere";
    browsetest::TempDir home;
    const std::string root = home.path();
    MakeFile(root + "/a.jpg");
    MakeDir(root + "/locked");
    MakeFile(root + "/locked/in.jpg");
    ASSERT_EQ(::chmod((root + "/locked").c_str(), 0555), 0);
    MakeDir(root + "/plain");
    const Tree before = Snap(root);
    const struct {
        TransferKind kind;
        std::string source;
        std::string target;
        const char* reason;
    } cases[] = {
        {TransferKind::Copy, root + "/a.jpg", root + "/locked", "Permission denied"},
        {TransferKind::Move, root + "/locked/in.jpg", root + "/plain",
         "It can't be taken out of its folder: Permission denied"},
        // A folder that moves rewrites its link to its parent.
        {TransferKind::Move, root + "/locked", root + "/plain", "It can't be moved: Permission denied"},
    };
    for (const auto& c : cases) {
        const TransferResult result = CFileTransfer(c.kind, {c.source}, c.target).Run();
        EXPECT_EQ(result.outcome, TransferOutcome::Refused) << c.source;
        EXPECT_EQ(result.problems.at(0).reason, c.reason) << c.source;
    }
    EXPECT_EQ(Snap(root).size(), before.size());
    ::chmod((root + "/locked").c_str(), 0755);
}

TEST(TransferRefusalTest, TreeLoopingThroughAMountIsRefused)
{
    browsetest::TempDir home;
    MakeDir(home.path() + "/f");
    MakeDir(home.path() + "/f/inner");
    MakeFile(home.path() + "/f/a.jpg");
    MakeDir(home.path() + "/g");
    ScopedMount loop(nullptr, 0, home.path() + "/f", home.path() + "/f/inner");
    if (!loop.Mounted())
        GTEST_SKIP() << "no bind mount could be made (" << loop.Why() << ")";
    const TransferResult result
        = CFileTransfer(TransferKind::Copy, {home.path() + "/f"}, home.path() + "/g").Run();
    EXPECT_EQ(result.outcome, TransferOutcome::Refused);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].path, home.path() + "/f/inner");
    EXPECT_EQ(result.problems[0].reason, "Its folders loop back into themselves");
    EXPECT_TRUE(Snap(home.path() + "/g").empty());
}

// ---- Names for "Keep both" ----

TEST(TransferNameTest, NumberedNames)
{
    const std::string longName = std::string(251, 'x') + ".jpg";
    std::string accented;
    while (accented.size() < 254)
        accented += "\xc3\xa9";
    const struct {
        std::string name;
        int n;
        bool folder;
        std::string expected;
    } cases[] = {
        {"photo.jpg", 2, false, "photo (2).jpg"},
        {"folder", 3, true, "folder (3)"},
        {"2019.05 trip", 2, true, "2019.05 trip (2)"},
        {"a.tar.gz", 2, false, "a.tar (2).gz"},
        {".hidden", 2, false, ".hidden (2)"},
        {"-x\n.jpg", 12, false, "-x\n (12).jpg"},
        {longName, 2, false, std::string(247, 'x') + " (2).jpg"},
        {accented, 2, true, accented.substr(0, 250) + " (2)"},
    };
    for (const auto& c : cases) {
        const std::string made = CFileTransfer::NumberedName(c.name, c.n, c.folder);
        EXPECT_EQ(made, c.expected) << c.name;
        EXPECT_LE(made.size(), size_t(NAME_MAX));
    }
}

}  // namespace
