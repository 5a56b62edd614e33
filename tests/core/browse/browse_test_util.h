#pragma once
// Helpers shared by the namespace tests: byte-named files in a temporary
// folder and environment variables restored on scope exit.

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace browsetest {

// A temporary folder removed with everything in it, names that are not
// valid UTF-8 included (Qt's own removal skips those).
class TempDir {
public:
    explicit TempDir(const QString& pattern = QString())
        : m_dir(pattern.isEmpty() ? QTemporaryDir() : QTemporaryDir(pattern))
    {
        m_dir.setAutoRemove(false);
    }
    ~TempDir()
    {
        if (m_dir.isValid())
            nftw(m_dir.path().toStdString().c_str(), &RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    bool isValid() const { return m_dir.isValid(); }
    std::string path() const { return m_dir.path().toStdString(); }

private:
    static int RemoveOne(const char* path, const struct stat*, int, struct FTW*)
    {
        remove(path);
        return 0;
    }
    QTemporaryDir m_dir;
};

inline std::string PathOf(const TempDir& dir)
{
    return dir.path();
}

inline bool MakeFile(const std::string& path, const std::string& content = "x")
{
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    close(fd);
    return ok;
}

inline bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

inline std::string ReadAll(const std::string& path)
{
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

// Sets (or, given none, unsets) an environment variable for one scope (tests
// run on one thread).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : m_name(name)
    {
        if (const char* old = getenv(name))
            m_old = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace browsetest
