// The desktop association against temporary XDG folders, with xdg-mime and
// gio as independent judges of which program the desktop opens JPEGs with.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "desktop/desktop_association.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& text)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string RunCommand(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, pipe))
            out += buf;
        pclose(pipe);
    }
    return out;
}

std::string FirstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

// Lists every file under a folder, for "nothing was written" checks.
std::vector<std::string> Tree(const std::string& root)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        files.push_back(it->path().lexically_relative(root).string());
    std::sort(files.begin(), files.end());
    return files;
}

class DesktopAssociation : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_root = m_dir.path().toStdString();
        m_data = m_root + "/data";
        m_config = m_root + "/config";
        m_system = m_root + "/system";
        fs::create_directories(m_data);
        fs::create_directories(m_config);
        fs::create_directories(m_system + "/applications");
        SetEnv("XDG_DATA_HOME", m_data);
        SetEnv("XDG_CONFIG_HOME", m_config);
        SetEnv("XDG_DATA_DIRS", m_system);
        SetEnv("XDG_CONFIG_DIRS", m_root + "/system-config");
        SetEnv("XDG_CURRENT_DESKTOP", "");
        SetEnv("LC_ALL", "C");
        // Both judges need the same view of the machine as the program.
        unsetenv("KDE_FULL_SESSION");
        unsetenv("XDG_MENU_PREFIX");
        m_program = fs::read_symlink("/proc/self/exe").string();
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void SetEnv(const std::string& name, const std::string& value)
    {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
    // Another installed JPEG viewer.
    void InstallViewer(const std::string& id)
    {
        WriteAll(m_system + "/applications/" + id,
                 "[Desktop Entry]\nType=Application\nName=" + id
                     + "\nExec=/bin/true %f\nMimeType=image/jpeg;\n");
    }
    CDesktopAssociation Association() const
    {
        return CDesktopAssociation(XdgDirs::FromEnvironment(), m_program);
    }
    // What xdg-mime and gio say opens JPEGs; both must agree with us.
    void ExpectHandler(const std::string& id)
    {
        EXPECT_EQ(Association().DefaultHandler(), id);
        if (access("/usr/bin/xdg-mime", X_OK) != 0 || access("/usr/bin/gio", X_OK) != 0) {
            ADD_FAILURE() << "xdg-mime and gio are needed (scripts/install-deps.sh)";
            return;
        }
        EXPECT_EQ(FirstLine(RunCommand("xdg-mime query default image/jpeg 2>/dev/null")), id) << "xdg-mime";
        const std::string gio = RunCommand("gio mime image/jpeg 2>/dev/null");
        std::string gioDefault;
        if (const size_t at = gio.find("Default application for"); at != std::string::npos) {
            const std::string line = FirstLine(gio.substr(at));
            gioDefault = line.substr(line.rfind(": ") + 2);
        }
        EXPECT_EQ(gioDefault, id) << "gio:\n" << gio;
    }

    QTemporaryDir m_dir;
    std::string m_root, m_data, m_config, m_system, m_program;
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST_F(DesktopAssociation, AssociateThenUnassociateRestoresThePreviousDefault)
{
    InstallViewer("viewer.desktop");
    InstallViewer("other.desktop");
    WriteAll(m_config + "/mimeapps.list", "[Default Applications]\nimage/jpeg=viewer.desktop;\n");
    ExpectHandler("viewer.desktop");
    EXPECT_FALSE(Association().IsAssociated());

    CDesktopAssociation association = Association();
    std::string error;
    ASSERT_TRUE(association.Associate(&error)) << error;
    ExpectHandler("lumvane.desktop");
    const std::string entry = ReadAll(m_data + "/applications/lumvane.desktop");
    EXPECT_NE(entry.find("\nExec=" + m_program + " %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=image/jpeg;\n"), std::string::npos);
    EXPECT_NE(ReadAll(m_config + "/mimeapps.list").find("[Added Associations]\nimage/jpeg=lumvane.desktop;"),
              std::string::npos);

    ASSERT_TRUE(Association().Unassociate());
    ExpectHandler("viewer.desktop");
    EXPECT_FALSE(fs::exists(association.RecordPath()));
}

// The previous handler came from a system-wide list: taking ours away
// brings it back without writing it into the user's list.
TEST_F(DesktopAssociation, SystemDefaultComesBackAfterUnassociate)
{
    InstallViewer("viewer.desktop");
    WriteAll(m_system + "/applications/mimeapps.list",
             "[Default Applications]\nimage/jpeg=viewer.desktop;\n");
    ExpectHandler("viewer.desktop");
    ASSERT_TRUE(Association().Associate());
    ExpectHandler("lumvane.desktop");
    ASSERT_TRUE(Association().Unassociate());
    ExpectHandler("viewer.desktop");
    EXPECT_EQ(ReadAll(m_config + "/mimeapps.list").find("viewer.desktop"), std::string::npos);
}

TEST_F(DesktopAssociation, ForeignDefaultSetMeanwhileSurvivesUnassociate)
{
    InstallViewer("viewer.desktop");
    InstallViewer("other.desktop");
    WriteAll(m_config + "/mimeapps.list", "[Default Applications]\nimage/jpeg=viewer.desktop;\n");
    ASSERT_TRUE(Association().Associate());
    // Another program makes itself the handler afterwards.
    WriteAll(m_config + "/mimeapps.list",
             "[Default Applications]\nimage/jpeg=other.desktop;lumvane.desktop;\n");
    EXPECT_FALSE(Association().IsAssociated());
    ASSERT_TRUE(Association().Unassociate());
    ExpectHandler("other.desktop");
    EXPECT_NE(ReadAll(m_config + "/mimeapps.list").find("image/jpeg=other.desktop;lumvane.desktop;"),
              std::string::npos)
        << "the other program's line is left as it set it";
}

TEST_F(DesktopAssociation, DesktopSpecificListOverridingOursShowsUnassociated)
{
    SetEnv("XDG_CURRENT_DESKTOP", "Test:Other");
    InstallViewer("other.desktop");
    ASSERT_TRUE(Association().Associate());
    ExpectHandler("lumvane.desktop");
    WriteAll(m_config + "/test-mimeapps.list", "[Default Applications]\nimage/jpeg=other.desktop;\n");
    ExpectHandler("other.desktop");
    EXPECT_FALSE(Association().IsAssociated());
    // Associating again wins over the desktop's own list.
    ASSERT_TRUE(Association().Associate());
    ExpectHandler("lumvane.desktop");
    ASSERT_TRUE(Association().Unassociate());
    ExpectHandler("other.desktop");
}

TEST_F(DesktopAssociation, CommentsAndUnrelatedGroupsSurviveByteForByte)
{
    InstallViewer("viewer.desktop");
    const std::string head = "# my own notes\n[Default Applications]\ntext/plain=editor.desktop;\n";
    const std::string tail = "\n# keep me\n[X-Something Else]\nkey = value ; spaced\n\n";
    WriteAll(m_config + "/mimeapps.list", head + tail);
    ASSERT_TRUE(Association().Associate());
    const std::string associated = ReadAll(m_config + "/mimeapps.list");
    EXPECT_EQ(associated.substr(0, head.size()), head);
    EXPECT_NE(associated.find(tail), std::string::npos) << associated;
    ASSERT_TRUE(Association().Unassociate());
    const std::string after = ReadAll(m_config + "/mimeapps.list");
    EXPECT_EQ(after.substr(0, head.size()), head);
    EXPECT_NE(after.find(tail), std::string::npos) << after;
    EXPECT_EQ(after.find("lumvane"), std::string::npos) << after;
}

TEST_F(DesktopAssociation, SymlinkedListIsEditedWhereItLives)
{
    fs::create_directories(m_root + "/dotfiles");
    WriteAll(m_root + "/dotfiles/mimeapps.list", "# linked\n");
    fs::create_symlink("../dotfiles/mimeapps.list", m_config + "/mimeapps.list");
    ASSERT_TRUE(Association().Associate());
    EXPECT_TRUE(fs::is_symlink(m_config + "/mimeapps.list"));
    EXPECT_NE(ReadAll(m_root + "/dotfiles/mimeapps.list").find("# linked\n"), std::string::npos);
    ExpectHandler("lumvane.desktop");
}

TEST_F(DesktopAssociation, UnwritableConfigFolderFailsWithNothingHalfWritten)
{
    InstallViewer("viewer.desktop");
    WriteAll(m_system + "/applications/mimeapps.list",
             "[Default Applications]\nimage/jpeg=viewer.desktop;\n");
    // A file where the folder should be: no one, root included, can write there.
    WriteAll(m_root + "/not-a-folder", "x");
    SetEnv("XDG_CONFIG_HOME", m_root + "/not-a-folder/config");
    const auto before = Tree(m_root);
    CDesktopAssociation association = Association();
    std::string error;
    EXPECT_FALSE(association.Associate(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Tree(m_root), before);
    ExpectHandler("viewer.desktop");

    XdgDirs homeless = XdgDirs::FromEnvironment();  // no home: nothing is written under "/"
    homeless.dataHome.clear();
    homeless.configHome.clear();
    CDesktopAssociation noHome(homeless, m_program);
    EXPECT_FALSE(noHome.Associate());
    error.clear();
    EXPECT_FALSE(noHome.Unassociate(&error));
    EXPECT_FALSE(error.empty());

    if (geteuid() != 0) {
        SetEnv("XDG_CONFIG_HOME", m_config);
        chmod(m_config.c_str(), 0555);
        const auto again = Tree(m_root);
        EXPECT_FALSE(Association().Associate());
        EXPECT_EQ(Tree(m_root), again);
        chmod(m_config.c_str(), 0755);
    }
}

TEST_F(DesktopAssociation, UnassociateWithoutAnAssociationChangesNothing)
{
    InstallViewer("viewer.desktop");
    const std::string list = "[Default Applications]\nimage/jpeg=viewer.desktop;\n";
    WriteAll(m_config + "/mimeapps.list", list);
    ASSERT_TRUE(Association().Unassociate());
    EXPECT_EQ(ReadAll(m_config + "/mimeapps.list"), list);
}

struct ExecCase {
    const char* name;
    const char* path;
    const char* exec;  // the Exec line; empty: the path can't be written
};

const ExecCase kExecCases[] = {
    {"Plain", "/opt/lumvane/bin/lumvane", "Exec=/opt/lumvane/bin/lumvane %f"},
    {"Space", "/opt/my apps/lumvane", "Exec=\"/opt/my apps/lumvane\" %f"},
    {"Percent", "/opt/100%/lumvane", "Exec=/opt/100%%/lumvane %f"},
    {"QuoteAndDollar", "/opt/a\"b$c/lumvane", "Exec=\"/opt/a\\\\\"b\\\\$c/lumvane\" %f"},
    {"Backslash", "/opt/a\\b/lumvane", "Exec=\"/opt/a\\\\\\\\b/lumvane\" %f"},
    {"Newline", "/opt/a\nb/lumvane", "Exec=\"/opt/a\\nb/lumvane\" %f"},
    {"NotUtf8", "/opt/\xff/lumvane", ""},
    {"Relative", "bin/lumvane", ""},
};

void PrintTo(const ExecCase& c, std::ostream* os)
{
    *os << c.name;
}

class DesktopEntryExec : public testing::TestWithParam<ExecCase> {};

TEST_P(DesktopEntryExec, QuotesThePathAsTheDesktopReadsIt)
{
    const ExecCase& c = GetParam();
    const std::string entry = CDesktopAssociation(XdgDirs {}, c.path).DesktopEntryText();
    if (std::string(c.exec).empty()) {
        EXPECT_TRUE(entry.empty());
        return;
    }
    EXPECT_NE(entry.find(std::string("\n") + c.exec + "\n"), std::string::npos) << entry;
}

INSTANTIATE_TEST_SUITE_P(Paths, DesktopEntryExec, testing::ValuesIn(kExecCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
