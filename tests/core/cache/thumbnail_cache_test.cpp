// The desktop's shared thumbnail cache: URIs and names as GLib makes them
// (checked against gio itself where it is installed), what a valid cached
// thumbnail is, how one is stored, and the loader's use of the cache.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <QTemporaryDir>
#include <filesystem>

#include "decode/image_bitmap.h"
#include "tests/core/loader/loader_fixture.h"
#include "cache/thumbnail_cache.h"
#include "tools/exif_builder.h"

extern char** environ;

namespace {

struct UriCase {
    const char* path;
    const char* uri;
};

// The URIs gio prints for these paths.
const UriCase kUris[] = {
    {"/tmp/a.jpg", "file:///tmp/a.jpg"},
    {"/tmp/a b!$&'()*+,;=:@[]#%\xC3\xA9~-_.jpg", "file:///tmp/a%20b!$&'()*+,%3B=:@%5B%5D%23%25%C3%A9~-_.jpg"},
    {"/tmp/q\"<>?\\^`{|}\x01\x7F\nz.jpg", "file:///tmp/q%22%3C%3E%3F%5C%5E%60%7B%7C%7D%01%7F%0Az.jpg"},
    {"/tmp/raw\xFF\xFEname.jpg", "file:///tmp/raw%FF%FEname.jpg"},
    {"/tmp/-dash/100%.JPG", "file:///tmp/-dash/100%25.JPG"},
};

TEST(ThumbnailCacheUri, BuiltAsGLibBuildsIt)
{
    for (const UriCase& c : kUris)
        EXPECT_EQ(ThumbnailUri(c.path), c.uri) << c.path;
    // The name is the URI's MD5 in lower-case hex.
    EXPECT_EQ(ThumbnailName("file:///tmp/a.jpg"), "fd3d4bbf23a83793d4c47b368af0416e.png");
}

// Runs a program with raw byte arguments (names need not be UTF-8) and
// returns what it printed; empty when it could not run.
std::string Output(const std::vector<std::string>& args)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; spawned == 0 && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (spawned == 0)
        ::waitpid(pid, &status, 0);
    return spawned == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : std::string();
}

QImage Picture(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

class ThumbnailCacheTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    std::string Make(const std::string& name, const std::string& bytes = "jpeg bytes")
    {
        const std::string path = m_dir.path().toStdString() + "/" + name;
        EXPECT_TRUE(jpegwriter::WriteFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()))) << name;
        return path;
    }
    // Names that are not UTF-8 defeat QTemporaryDir's own removal.
    void TearDown() override { std::filesystem::remove_all(m_dir.path().toStdString()); }
    CacheSource Describe(const std::string& path)
    {
        CacheSource source;
        EXPECT_TRUE(m_cache.Describe(path, &source)) << path;
        return source;
    }

    QTemporaryDir m_dir;
    const std::string m_root = m_dir.path().toStdString() + "/cache/thumbnails";
    CThumbnailCache m_cache {m_root};
};

TEST_F(ThumbnailCacheTest, GioFindsWhatWasStored)
{
    if (Output({"gio", "--version"}).empty())
        GTEST_SKIP() << "gio is not installed";
    ::setenv("XDG_CACHE_HOME", (m_dir.path().toStdString() + "/cache").c_str(), 1);
    const std::string longName = std::string(251, 'n') + ".jpg";
    for (const std::string& name :
         {std::string("plain.jpg"), std::string("a b!$&'()*+,;=:@[]#%\xC3\xA9~.jpg"),
          std::string("raw\xFF\xFE.jpg"), std::string("-dash.jpg"), std::string("new\nline.jpg"), longName}) {
        const CacheSource source = Describe(Make(name));
        ASSERT_TRUE(m_cache.WriteNormal(source, Picture(128, 96, 0xFF336699), 640, 480)) << name;
        const std::string info = Output({"gio", "info", "-a", "thumbnail::path", source.path});
        const std::string expected = "thumbnail::path: " + m_cache.PathIn("normal", source.uri) + "\n";
        EXPECT_NE(info.find(expected), std::string::npos) << name << "\n" << info;
    }
    ::unsetenv("XDG_CACHE_HOME");
}

TEST_F(ThumbnailCacheTest, StoredPrivatelyAsRgbaPngWithItsKeys)
{
    const CacheSource source = Describe(Make("photo.jpg"));
    ASSERT_TRUE(m_cache.WriteNormal(source, Picture(128, 85, 0xFF102030), 6000, 4000));
    const std::string stored = m_cache.PathIn("normal", source.uri);
    struct stat st {};
    ASSERT_EQ(::stat(stored.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    for (const std::string& dir : {m_root, m_root + "/normal"}) {
        ASSERT_EQ(::stat(dir.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
    }
    // Nothing is left behind but the thumbnail.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_root + "/normal"), {}), 1);
    const QImage image(QString::fromStdString(stored));
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(image.size(), QSize(128, 85));
    EXPECT_EQ(image.text("Thumb::URI").toStdString(), source.uri);
    EXPECT_EQ(image.text("Thumb::MTime").toLongLong(), source.mtime);
    EXPECT_EQ(image.text("Thumb::Size").toLongLong(), source.size);
    EXPECT_EQ(image.text("Thumb::Mimetype"), "image/jpeg");
    EXPECT_EQ(image.text("Thumb::Image::Width"), "6000");
    EXPECT_EQ(image.text("Thumb::Image::Height"), "4000");
    EXPECT_TRUE(image.text("Software").startsWith("Lumvane "));
    // A thumbnail larger than the folder's size is refused.
    EXPECT_FALSE(m_cache.WriteNormal(source, Picture(129, 20, 0xFF000000), 6000, 4000));
}

// A thumbnail written by another program, keys as given.
void WriteForeign(const std::string& file, const QImage& picture,
                  const std::vector<std::pair<QString, QString>>& keys)
{
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (const auto& [key, value] : keys)
        image.setText(key, value);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    ASSERT_TRUE(image.save(QString::fromStdString(file), "png"));
}

TEST_F(ThumbnailCacheTest, OnlyAThumbnailOfThisVeryFileIsRead)
{
    const CacheSource source = Describe(Make("photo.jpg"));
    const QString uri = QString::fromStdString(source.uri);
    const QString mtime = QString::number(source.mtime), size = QString::number(source.size);
    struct Case {
        const char* what;
        const char* folder;
        std::vector<std::pair<QString, QString>> keys;
        int size;
        bool read;
        int width = 100;  // of the cached picture, 75 high
    };
    const Case cases[] = {
        {"matching",
         "normal",
         {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}, {"Thumb::Size", size}},
         120,
         true},
        {"without a size", "normal", {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}}, 80, true},
        {"another size",
         "normal",
         {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}, {"Thumb::Size", "1"}},
         120,
         false},
        {"older",
         "normal",
         {{"Thumb::URI", uri}, {"Thumb::MTime", QString::number(source.mtime - 1)}},
         120,
         false},
        {"no time", "normal", {{"Thumb::URI", uri}}, 120, false},
        {"a time with a fraction",
         "normal",
         {{"Thumb::URI", uri}, {"Thumb::MTime", mtime + ".5"}},
         120,
         false},
        {"another file", "normal", {{"Thumb::URI", uri + "x"}, {"Thumb::MTime", mtime}}, 120, false},
        {"large, for a larger size", "large", {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}}, 200, true},
        {"normal is too small for it", "normal", {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}}, 200, false},
        {"larger than normal", "normal", {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}}, 120, false, 129},
        {"large at its size", "large", {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}}, 200, true, 256},
        {"larger than large", "large", {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}}, 200, false, 257},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(m_root);
        WriteForeign(m_cache.PathIn(c.folder, source.uri), Picture(c.width, 75, 0xFF00FF00), c.keys);
        EXPECT_EQ(!m_cache.Read(source, c.size).isNull(), c.read) << c.what;
    }
    // Not a PNG at all.
    jpegwriter::WriteFile(m_cache.PathIn("normal", source.uri), {'x', 'y'});
    EXPECT_TRUE(m_cache.Read(source, 120).isNull());
}

// The cache in a shared or hostile place is skipped: nothing is read from or
// written to a folder someone else owns or may write, or through a symlink.
TEST_F(ThumbnailCacheTest, SkippedWhereItIsNotTheUsersAlone)
{
    struct Case {
        const char* what;
        const char* folder;  // "" for the root
        mode_t mode;
        bool otherUser;  // owned by "nobody"
        bool symlink;    // the folder is a symlink to one elsewhere
        bool used;
    };
    const Case cases[] = {
        {"private", "normal", 0700, false, false, true},
        {"root writable by all", "", 0777, false, false, false},
        {"root writable by the group", "", 0770, false, false, false},
        {"root of another user", "", 0700, true, false, false},
        {"root a symlink to a private folder", "", 0700, false, true, false},
        {"normal writable by all", "normal", 0777, false, false, false},
        {"normal of another user", "normal", 0755, true, false, false},
        {"normal a symlink into another user's open folder", "normal", 0777, true, true, false},
    };
    const CacheSource source = Describe(Make("photo.jpg"));
    const QString uri = QString::fromStdString(source.uri), mtime = QString::number(source.mtime);
    const std::string elsewhere = m_dir.path().toStdString() + "/cache/elsewhere";
    for (const Case& c : cases) {
        if (c.otherUser && ::geteuid() != 0)
            continue;  // only root makes a folder another user's
        std::filesystem::remove_all(m_dir.path().toStdString() + "/cache");
        const std::string folder = c.folder[0] ? m_root + "/" + c.folder : m_root;
        const std::string real = c.symlink ? elsewhere : folder;
        std::filesystem::create_directories(real);
        std::filesystem::create_directories(std::filesystem::path(folder).parent_path());
        if (c.symlink)
            std::filesystem::create_directory_symlink(real, folder);
        const std::string planted = m_cache.PathIn("normal", source.uri);
        WriteForeign(planted, Picture(100, 75, 0xFF00FF00), {{"Thumb::URI", uri}, {"Thumb::MTime", mtime}});
        ASSERT_EQ(::chmod(real.c_str(), c.mode), 0) << c.what;
        ASSERT_EQ(c.otherUser ? ::chown(real.c_str(), 65534, 65534) : 0, 0) << c.what;
        EXPECT_EQ(!m_cache.Read(source, 120).isNull(), c.used) << c.what;
        EXPECT_EQ(m_cache.WriteNormal(source, Picture(128, 96, 0xFF000000), 640, 480), c.used) << c.what;
        EXPECT_EQ(QImage(QString::fromStdString(planted)).width() == 128, c.used) << c.what;
    }
}

TEST_F(ThumbnailCacheTest, FailuresAreRecordedPerVersionAndModificationTime)
{
    const std::string path = Make("broken.jpg");
    CacheSource source = Describe(path);
    EXPECT_FALSE(m_cache.HasFailure(source));
    ASSERT_TRUE(m_cache.WriteFailure(source));
    EXPECT_TRUE(m_cache.HasFailure(source));
    EXPECT_NE(m_cache.PathIn(CThumbnailCache::FailFolder(), source.uri).find("/fail/lumvane-"),
              std::string::npos);
    // A changed file is tried again.
    source.mtime += 10;
    EXPECT_FALSE(m_cache.HasFailure(source));
}

// A photo turned in place keeps its name, and perhaps its time and size.
TEST_F(ThumbnailCacheTest, ForgottenFilesLoseTheirThumbnailsAndFailuresOnly)
{
    const CacheSource turned = Describe(Make("turned.jpg")), kept = Describe(Make("kept.jpg"));
    for (const CacheSource* source : {&turned, &kept})
        ASSERT_TRUE(m_cache.WriteNormal(*source, Picture(128, 96, 0xFF336699), 640, 480));
    ASSERT_TRUE(m_cache.WriteFailure(turned));
    m_cache.Forget({turned.path, m_dir.path().toStdString() + "/never-cached.jpg"});
    EXPECT_TRUE(m_cache.Read(turned, 120).isNull());
    EXPECT_FALSE(m_cache.HasFailure(turned));
    EXPECT_FALSE(m_cache.Read(kept, 120).isNull());
}

TEST_F(ThumbnailCacheTest, NeverForTheCacheItselfOrWhatCannotBeRead)
{
    const CThumbnailCache cache(m_root + "/");  // a trailing slash names the same folder
    CacheSource source;
    std::filesystem::create_directories(m_root + "/normal");
    EXPECT_FALSE(cache.Describe(m_root + "/normal/x.jpg", &source));
    EXPECT_FALSE(cache.Describe(m_dir.path().toStdString(), &source));  // a folder
    EXPECT_FALSE(cache.Describe("relative.jpg", &source));
    EXPECT_FALSE(cache.Describe(m_dir.path().toStdString() + "/missing.jpg", &source));
    const std::string locked = Make("locked.jpg");
    ::chmod(locked.c_str(), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(m_cache.Describe(locked, &source));
    }
    EXPECT_FALSE(CThumbnailCache("").Describe(Make("any.jpg"), &source));
}

TEST(ThumbnailCacheRoot, FollowsXdgCacheHomeElseHome)
{
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CACHE_HOME", "/x/cache", 1);
    EXPECT_EQ(CThumbnailCache::DefaultRoot(), "/x/cache/thumbnails");
    ::setenv("XDG_CACHE_HOME", "relative", 1);  // not absolute: ignored
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(CThumbnailCache::DefaultRoot(), "/home/u/.cache/thumbnails");
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("HOME");
    const passwd* pw = getpwuid(geteuid());
    const std::string dbHome = pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : "";
    EXPECT_EQ(CThumbnailCache::DefaultRoot(), dbHome.empty() ? "" : dbHome + "/.cache/thumbnails")
        << "no HOME: the password database's home";
    ::setenv("HOME", savedHome.c_str(), 1);
}

// The loader through the cache.
class CachedLoaderTest : public loadertest::LoaderTest {
protected:
    void SetUp() override
    {
        LoaderTest::SetUp();
        ASSERT_TRUE(m_cacheDir.isValid());
        m_cache = std::make_shared<CThumbnailCache>(m_cacheDir.path().toStdString() + "/thumbnails");
        m_loader.SetThumbnailCache(m_cache);
        // The program's defaults, which the shared cache's thumbnails follow.
        m_loader.SetPictureOptions({true, true});
    }
    void TearDown() override { std::filesystem::remove_all(Dir()); }
    std::string CachedPath(const std::string& name, const char* folder = "normal")
    {
        return m_cache->PathIn(folder, ThumbnailUri(PathOf(name)));
    }
    bool Cached(const std::string& name, const char* folder = "normal")
    {
        return std::filesystem::exists(CachedPath(name, folder));
    }
    void Run(int size = kSmallThumbnailSize)
    {
        m_loader.StartThumbnails(size);
        ASSERT_TRUE(WaitThumbnails());
    }

    QTemporaryDir m_cacheDir;
    std::shared_ptr<CThumbnailCache> m_cache;
};

// The shared cache holds thumbnails upright, as the desktop's other programs
// expect them; with a picture option off the cache is neither read nor
// written, so that the pane shows the photo as the options say.
TEST_F(CachedLoaderTest, CacheHoldsUprightThumbnailsAndIsLeftAloneWithAnOptionOff)
{
    jpegwriter::EncodeOptions options;
    options.app1.push_back(
        exifbuilder::Builder(exifbuilder::Order::Big).Short(exifbuilder::Ifd0, 274, {6}).Build());
    ASSERT_TRUE(jpegwriter::WriteFile(PathOf("turned.jpg"),
                                      jpegwriter::Encode(jpegwriter::MakePhotoLike(640, 480, 4), options)));
    ASSERT_TRUE(Open());
    Run();
    ASSERT_TRUE(Cached("turned.jpg"));
    EXPECT_EQ(QImage(QString::fromStdString(CachedPath("turned.jpg"))).size(), QSize(96, 128));
    EXPECT_EQ(m_loader.ThumbnailOf(Item("turned.jpg"))->Width(), 60);

    std::filesystem::remove(CachedPath("turned.jpg"));
    m_loader.SetPictureOptions({false, true});
    Run();
    EXPECT_FALSE(Cached("turned.jpg"));
    EXPECT_EQ(m_loader.ThumbnailOf(Item("turned.jpg"))->Width(), 80);
}

TEST_F(CachedLoaderTest, ColdRunStoresWarmRunReads)
{
    WriteJpeg("big.jpg", 640, 480, 1);
    WriteJpeg("tall.jpg", 300, 900, 2);
    WriteJpeg("small.jpg", 100, 60, 3);  // not larger than the cache's size
    WriteBytes("broken.jpg", "not a picture");
    ASSERT_TRUE(Open());
    Run();
    EXPECT_TRUE(Cached("big.jpg"));
    EXPECT_TRUE(Cached("tall.jpg"));
    EXPECT_FALSE(Cached("small.jpg"));
    EXPECT_FALSE(Cached("broken.jpg"));
    EXPECT_TRUE(Cached("broken.jpg", CThumbnailCache::FailFolder().c_str()));
    EXPECT_EQ(QImage(QString::fromStdString(CachedPath("tall.jpg"))).size(), QSize(43, 128));
    const CImageBitmap* cold = m_loader.ThumbnailOf(Item("big.jpg"));
    ASSERT_NE(cold, nullptr);
    EXPECT_EQ(cold->Width(), 80);
    EXPECT_EQ(cold->Height(), 60);

    // The cached picture is what the next run shows: paint it one colour.
    QImage cached(QString::fromStdString(CachedPath("big.jpg")));
    const QImage painted = [&] {
        QImage p = cached.copy();
        p.fill(QColor(250, 10, 10));
        for (const QString& key : cached.textKeys())
            p.setText(key, cached.text(key));
        return p;
    }();
    ASSERT_TRUE(painted.save(QString::fromStdString(CachedPath("big.jpg")), "png"));
    Run();
    const CImageBitmap* warm = m_loader.ThumbnailOf(Item("big.jpg"));
    ASSERT_NE(warm, nullptr);
    EXPECT_EQ(warm->Width(), 80);
    EXPECT_EQ(warm->Height(), 60);
    EXPECT_EQ(warm->Row(30)[40] & 0xFFFFFF, 0xFA0A0Au);
    EXPECT_EQ(m_loader.ThumbnailOf(Item("broken.jpg")), nullptr);
    EXPECT_NE(m_loader.ThumbnailOf(Item("small.jpg")), nullptr);

    // A file changed since is decoded again, and its thumbnail replaced.
    WriteJpeg("big.jpg", 640, 480, 9);
    struct timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 100, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, PathOf("big.jpg").c_str(), times, 0), 0);
    Run();
    EXPECT_NE(m_loader.ThumbnailOf(Item("big.jpg"))->Row(30)[40] & 0xFFFFFF, 0xFA0A0Au);
    EXPECT_NE(QImage(QString::fromStdString(CachedPath("big.jpg"))).pixel(64, 48) & 0xFFFFFF, 0xFA0A0Au);
}

TEST_F(CachedLoaderTest, OddNamesAndStopsLeaveNoHalfFiles)
{
    for (const std::string& name :
         {std::string("raw\xFF.jpg"), std::string("-dash.jpg"), std::string("new\nline.jpg"),
          std::string(251, 'z') + ".jpg", std::string("a b#%.jpg")})
        WriteJpeg(name, 400, 300, uint32_t(name.size()));
    ASSERT_TRUE(Open());
    for (int round = 0; round < 5; ++round)
        m_loader.StartThumbnails(kBigThumbnailSize);  // each start stops the run before
    ASSERT_TRUE(WaitThumbnails());
    for (ImageItem* item : Items()) {
        EXPECT_NE(m_loader.ThumbnailOf(item), nullptr) << item->name;
        EXPECT_TRUE(
            std::filesystem::exists(m_cache->PathIn("normal", ThumbnailUri(m_loader.ItemPath(item)))));
    }
    for (const auto& entry :
         std::filesystem::directory_iterator(m_cacheDir.path().toStdString() + "/thumbnails/normal"))
        EXPECT_EQ(entry.path().extension(), ".png") << entry.path();
}

}  // namespace
