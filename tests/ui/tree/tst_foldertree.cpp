// The folder tree: the walk down a list, the order of children, refused
// expansion and selection, New Folder, in-place rename and delete to the
// trash, on temporary folders with a temporary home and trash.

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <cerrno>
#include <memory>

#include "folder_tree_test_util.h"
#include "browse/folder_listing.h"
#include "tree/folder_tree.h"
#include "tree/folder_tree_commands.h"
#include "tests/core/browse/browse_test_util.h"

using browsetest::Exists;
using browsetest::TempDir;

namespace {

// Answers the questions a user would be asked and records what was shown.
class TestTree : public CFolderTree {
public:
    bool answerDelete = true;
    std::vector<std::string> confirmed;
    QStringList errors;
    int menus = 0;
    std::vector<std::pair<QString, bool>> menuItems;  // text, enabled

    bool Editing() const { return state() == EditingState; }

protected:
    bool ConfirmDelete(const std::string& path) override
    {
        confirmed.push_back(path);
        return answerDelete;
    }
    void ShowError(const QString& text) override { errors << text; }
    QAction* ExecContextMenu(QMenu* menu, const QPoint&) override
    {
        ++menus;
        menuItems.clear();
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                menuItems.emplace_back(action->text(), action->isEnabled());
        return nullptr;
    }
};

// The main window's part: records choices and renames the shown folder.
struct Receiver {
    const QTreeWidget* tree = nullptr;
    std::vector<CShellPidl> chosen;
    std::vector<int> errors;
    std::vector<QTreeWidgetItem*> currentAtChoice;
    int renames = 0;
    bool acceptRename = true;

    void operator()(FolderNotify* n)
    {
        if (n->kind == 1) {
            chosen.push_back(n->listing->Folder());
            errors.push_back(n->error);
            currentAtChoice.push_back(tree->currentItem());
            return;
        }
        ++renames;
        CShellPidl folder = *n->folder;
        if (acceptRename)
            folder.Rename(*n->newName, &n->newList);
    }
};

CShellPidl Parse(const std::string& path)
{
    CShellPidl full;
    full.ParseName(path);
    return full;
}

using treetest::Child;
using treetest::Labels;

QLineEdit* OpenEditor(QTreeWidget& tree)
{
    for (QLineEdit* editor : tree.viewport()->findChildren<QLineEdit*>())
        if (!editor->isHidden())
            return editor;
    return nullptr;
}

// Types a label and presses Enter; the editor commits once events run.
bool TypeLabel(QTreeWidget& tree, const QString& text)
{
    QPointer<QLineEdit> editor = OpenEditor(tree);
    if (!editor)
        return false;
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    return QTest::qWaitFor([&] { return !editor || editor->isHidden(); });
}

}  // namespace

class TestFolderTree : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void selectPidlReachesDeepFolderAndNotifiesOnce();
    void childrenOrder();
    void collapseThenExpandSeesNewFolder();
    void expandedFoldersFollowTheFileSystem();
    void selectedRowStaysInPlace();
    void unlistableFolderIsChosenWithItsReason();
    void contextMenu();
    void newFolder();
    void renameOtherFolder();
    void renameSelectedGoesThroughReceiver();
    void deleteMovesSelectionOffThenTrashes();
    void oddNames_data();
    void oddNames();
    void iconsOnlyForPaintedRows();

private:
    QTreeWidgetItem* Open(const std::string& path);
    std::string Dir(const std::string& name) const { return m_dir->path() + "/" + name; }
    bool Mkdir(const std::string& name) const { return mkdir(Dir(name).c_str(), 0755) == 0; }

    std::unique_ptr<TempDir> m_env;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<TestTree> m_tree;
    Receiver m_receiver;
    std::unique_ptr<QSignalSpy> m_accel;
};

void TestFolderTree::initTestCase()
{
    m_env = std::make_unique<TempDir>();
    const std::string env = m_env->path();
    for (const char* sub : {"/home", "/config", "/data", "/home/aaa", "/home/zzz"})
        QVERIFY(mkdir((env + sub).c_str(), 0700) == 0);
    setenv("HOME", (env + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (env + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (env + "/data").c_str(), 1);
    setenv("XDG_DESKTOP_DIR", (env + "/home").c_str(), 1);
}

void TestFolderTree::init()
{
    m_dir = std::make_unique<TempDir>();
    m_tree = std::make_unique<TestTree>();
    m_receiver = Receiver();
    m_receiver.tree = m_tree.get();
    QObject::connect(
        m_tree.get(), &CFolderTree::FolderNotified, m_tree.get(), [this](FolderNotify* n) { m_receiver(n); },
        Qt::DirectConnection);
    m_accel = std::make_unique<QSignalSpy>(m_tree.get(), &CFolderTree::AcceleratorsWanted);
    QVERIFY(m_tree->Create());
    m_tree->resize(400, 600);
    m_tree->show();
}

void TestFolderTree::cleanup()
{
    m_accel.reset();
    m_tree.reset();
    m_dir.reset();
}

// Selects the folder at `path` silently, so its children are listed.
QTreeWidgetItem* TestFolderTree::Open(const std::string& path)
{
    return m_tree->SelectPidl(Parse(path), false) ? m_tree->currentItem() : nullptr;
}

void TestFolderTree::selectPidlReachesDeepFolderAndNotifiesOnce()
{
    QVERIFY(Mkdir("a") && Mkdir("a/b") && Mkdir("a/b/c"));
    const CShellPidl full = Parse(Dir("a/b/c"));
    QVERIFY(m_tree->SelectPidl(full, true));
    QCOMPARE(m_receiver.chosen.size(), size_t(1));
    QVERIFY(m_receiver.chosen[0].Equals(full));
    QVERIFY(m_tree->GetItemPidl(m_tree->currentItem()).Equals(full));
    // Silent, and a part that names no folder ends the walk.
    QVERIFY(m_tree->SelectPidl(Parse(Dir("a/b")), false));
    CShellPidl missing;
    missing.Concat(full, CShellPidl::MakeItem(kItemEntry, "nothing"));
    QVERIFY(!m_tree->SelectPidl(missing, true));
    QTreeWidgetItem* b = m_tree->currentItem();
    QCOMPARE(b->text(0), QString("b"));
    QCOMPARE(m_receiver.chosen.size(), size_t(1));
    // The receiver hears of the choice before the selection moves.
    m_tree->setCurrentItem(b->child(0));
    QCOMPARE(m_receiver.currentAtChoice.back(), b);
    QCOMPARE(m_tree->currentItem(), b->child(0));
    // The Desktop is chosen without a word: the thumbnails stay.
    m_tree->setCurrentItem(m_tree->topLevelItem(0));
    QCOMPARE(m_tree->currentItem()->text(0), QString("Desktop"));
    QCOMPARE(m_receiver.chosen.size(), size_t(2));
}

void TestFolderTree::childrenOrder()
{
    // Below a file-system folder: sorted by label; files are not shown.
    for (const char* name : {"b", "A", "c", "B", "empty"})
        QVERIFY(Mkdir(name));
    QVERIFY(browsetest::MakeFile(Dir("a.txt")));
    QTreeWidgetItem* folder = Open(m_dir->path());
    QCOMPARE(Labels(folder), QStringList({"A", "B", "b", "c", "empty"}));
    // The Desktop keeps the listing's order ("aaa" comes after "Computer").
    CFolderListing listing;
    CShellPidl desktop;
    desktop.SetEmpty();
    QVERIFY(listing.Enumerate(desktop));
    QStringList expected;
    for (const FolderEntry& entry : listing.Entries())
        if (entry.isFolder)
            expected << QString::fromStdString(entry.name);
    QCOMPARE(Labels(m_tree->topLevelItem(0)), expected);
    QVERIFY(expected.indexOf("aaa") > expected.indexOf("Computer"));
    // Home, directly below the Desktop, is a directory: its folders go by
    // label, not in the file system's order.
    for (const char* name : {"n", "m"})
        QVERIFY(mkdir((m_env->path() + "/home/" + name).c_str(), 0700) == 0);
    QTreeWidgetItem* home = Child(m_tree->topLevelItem(0), "Home");
    m_tree->expandItem(home);
    QCOMPARE(Labels(home), QStringList({"aaa", "m", "n", "zzz"}));
    // A folder without subfolders loses its expand button.
    QTreeWidgetItem* empty = Child(folder, "empty");
    QCOMPARE(empty->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    m_tree->expandItem(empty);
    QVERIFY(!empty->isExpanded());
    QCOMPARE(empty->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
}

void TestFolderTree::collapseThenExpandSeesNewFolder()
{
    QVERIFY(Mkdir("p") && Mkdir("p/one"));
    QTreeWidgetItem* parent = Child(Open(m_dir->path()), "p");
    m_tree->expandItem(parent);
    QCOMPARE(Labels(parent), QStringList({"one"}));
    QVERIFY(Mkdir("p/two"));
    m_tree->collapseItem(parent);
    QCOMPARE(parent->childCount(), 0);
    QCOMPARE(parent->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    m_tree->expandItem(parent);
    QCOMPARE(Labels(parent), QStringList({"one", "two"}));
    // Collapsing above the selection moves it to the collapsed folder first.
    m_tree->setCurrentItem(Child(parent, "two"));
    const size_t before = m_receiver.chosen.size();
    m_tree->collapseItem(parent);
    QCOMPARE(m_tree->currentItem(), parent);
    QCOMPARE(m_receiver.chosen.size(), before + 1);
}

// Other programs create and remove folders under expanded ones: the tree
// follows, and a removed folder that held the selection hands it up.
void TestFolderTree::expandedFoldersFollowTheFileSystem()
{
    QVERIFY(Mkdir("w") && Mkdir("w/one"));
    QTreeWidgetItem* w = Child(Open(m_dir->path()), "w");
    m_tree->expandItem(w);
    QCOMPARE(Labels(w), QStringList({"one"}));
    QVERIFY(Mkdir("w/two") && Mkdir("w/a new one"));
    QTRY_COMPARE(Labels(w), QStringList({"a new one", "one", "two"}));
    QVERIFY(rmdir(Dir("w/one").c_str()) == 0);
    QTRY_COMPARE(Labels(w), QStringList({"a new one", "two"}));
    // A file is not a folder: nothing changes for it.
    QVERIFY(browsetest::MakeFile(Dir("w/photo.jpg")));
    m_tree->setCurrentItem(Child(w, "two"));
    const size_t before = m_receiver.chosen.size();
    QVERIFY(rmdir(Dir("w/two").c_str()) == 0);
    QTRY_COMPARE(m_tree->currentItem(), w);
    QCOMPARE(Labels(w), QStringList({"a new one"}));
    QCOMPARE(m_receiver.chosen.size(), before + 1);
    QVERIFY(m_receiver.chosen.back().Equals(Parse(Dir("w"))));
    // Its last subfolder gone, a folder loses its expand button.
    QVERIFY(rmdir(Dir("w/a new one").c_str()) == 0);
    QTRY_COMPARE(w->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    QVERIFY(!w->isExpanded());
    // Collapsed, the folder is no longer followed; expanded again, it lists anew.
    w->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    QVERIFY(Mkdir("w/one"));
    m_tree->expandItem(w);
    QCOMPARE(Labels(w), QStringList({"one"}));
    m_tree->collapseItem(w);
    QVERIFY(Mkdir("w/later"));
    m_tree->expandItem(w);
    QCOMPARE(Labels(w), QStringList({"later", "one"}));
    // Opening a folder many levels down looks each level's path up once
    // and lays the rows out a few times, not once per level.
    std::string deep = "w/later";
    for (int i = 0; i < 60; ++i)
        QVERIFY(Mkdir(deep += "/d"));
    const int lookups = m_tree->WatchLookups();
    const int layouts = m_tree->RowLayouts();
    QVERIFY(Open(Dir(deep)));
    QVERIFY(m_tree->WatchLookups() - lookups <= 64);
    QVERIFY2(m_tree->RowLayouts() - layouts <= 4, QByteArray::number(m_tree->RowLayouts() - layouts));
    QVERIFY(Mkdir(deep.substr(0, deep.size() - 2) + "/e"));
    QTRY_COMPARE(m_tree->currentItem()->parent()->childCount(), 2);
}

// Rows that come above the selection do not move it on the screen.
void TestFolderTree::selectedRowStaysInPlace()
{
    QVERIFY(Mkdir("w"));
    for (int i = 10; i < 60; ++i)
        QVERIFY(Mkdir("w/f" + std::to_string(i)));
    QTreeWidgetItem* w = Child(Open(m_dir->path()), "w");
    m_tree->expandItem(w);
    QTreeWidgetItem* aimed = Child(w, "f40");
    m_tree->setCurrentItem(aimed);
    m_tree->scrollToItem(aimed, QAbstractItemView::PositionAtCenter);
    const int top = m_tree->visualItemRect(aimed).top();
    for (const char* name : {"w/a", "w/b", "w/c"})
        QVERIFY(Mkdir(name));
    QTRY_COMPARE(w->childCount(), 53);
    QCOMPARE(m_tree->currentItem(), aimed);
    QCOMPARE(m_tree->visualItemRect(aimed).top(), top);
}

void TestFolderTree::unlistableFolderIsChosenWithItsReason()
{
    // Tests run as root, which reads any folder: a folder gone since it was
    // listed cannot be listed either.
    QVERIFY(Mkdir("a") && Mkdir("gone") && Mkdir("gone/sub") && Mkdir("z"));
    QTreeWidgetItem* folder = Open(m_dir->path());
    QTreeWidgetItem* gone = Child(folder, "gone");
    m_tree->setCurrentItem(Child(folder, "a"));
    QVERIFY(rmdir(Dir("gone/sub").c_str()) == 0 && rmdir(Dir("gone").c_str()) == 0);
    m_tree->expandItem(gone);
    QVERIFY(!gone->isExpanded());
    QCOMPARE(gone->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    // The keys move onto it and past it; the receiver hears why it is empty.
    QTest::keyClick(m_tree.get(), Qt::Key_Down);
    QCOMPARE(m_tree->currentItem(), gone);
    QCOMPARE(m_receiver.errors.back(), ENOENT);
    QTest::keyClick(m_tree.get(), Qt::Key_Down);
    QCOMPARE(m_tree->currentItem(), Child(folder, "z"));
    QCOMPARE(m_receiver.errors.back(), 0);
}

void TestFolderTree::contextMenu()
{
    QVERIFY(Mkdir("f"));
    QTreeWidgetItem* folder = Open(m_dir->path());
    QTreeWidgetItem* root = m_tree->topLevelItem(0);
    const auto rightClick = [this](QPoint pos) {
        QTest::mouseClick(m_tree->viewport(), Qt::RightButton, {}, pos);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, m_tree->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(m_tree->viewport(), &event);
    };
    using Items = std::vector<std::pair<QString, bool>>;
    const struct {
        QTreeWidgetItem* item;
        Items expected;
    } cases[] = {
        {Child(folder, "f"), {{"New Folder", true}, {"Rename", true}, {"Delete", true}}},
        {Child(root, "Home"), {{"New Folder", true}, {"Rename", false}, {"Delete", false}}},
        {Child(root, "Computer"), {{"New Folder", false}, {"Rename", false}, {"Delete", false}}},
    };
    for (const auto& c : cases) {
        m_tree->scrollToItem(c.item);
        rightClick(m_tree->visualItemRect(c.item).center());
        QCOMPARE(m_tree->menuItems, c.expected);
        QCOMPARE(m_tree->CommandItem(), c.item);
        QCOMPARE(m_tree->currentItem(), folder);
    }
    // No edit either on a folder that cannot be renamed.
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    m_tree->editItem(Child(root, "Home"));
    QVERIFY(!m_tree->Editing());
    QVERIFY(m_accel->isEmpty());
    // Nothing below the last row: no menu.
    m_tree->collapseItem(root);
    const int menus = m_tree->menus;
    rightClick(QPoint(5, m_tree->viewport()->height() - 2));
    QCOMPARE(m_tree->menus, menus);
}

void TestFolderTree::newFolder()
{
    std::tm t {};
    t.tm_yday = 31;  // 1 February, 14:15:07
    t.tm_hour = 14;
    t.tm_min = 15;
    t.tm_sec = 7;
    const char* names[] = {"New Folder",   "New Folder 2", "New Folder 3",
                           "New Folder 4", "New Folder 5", "New Folder 032141507"};
    QVERIFY(Mkdir("nf"));
    for (int attempt = 1; attempt <= 6; ++attempt) {
        QCOMPARE(CFolderTreeCommands::NewFolderName(attempt, t), std::string(names[attempt - 1]));
        QVERIFY(attempt == 6 || Mkdir("nf/" + std::string(names[attempt - 1])));
    }
    // With the five plain names taken, the new one carries the time; its
    // label is edited at once and the typed name renames it.
    QTreeWidgetItem* nf = Child(Open(m_dir->path()), "nf");
    m_tree->SetCommandItem(nf);
    m_tree->RunCommand(900);
    QCOMPARE(nf->childCount(), 6);
    QVERIFY(m_tree->Editing());
    QCOMPARE(m_accel->size(), 1);
    QCOMPARE(m_accel->at(0).at(0).toBool(), false);
    const QString made = OpenEditor(*m_tree)->text();
    QVERIFY2(QRegularExpression("^New Folder \\d{9}$").match(made).hasMatch(), qPrintable(made));
    QVERIFY(TypeLabel(*m_tree, "Photos"));
    QCOMPARE(m_accel->size(), 2);
    QCOMPARE(m_accel->at(1).at(0).toBool(), true);
    QVERIFY(Exists(Dir("nf/Photos")) && !Exists(Dir("nf/" + made.toStdString())));
    QCOMPARE(Labels(nf).last(), QString("Photos"));
    // A folder that cannot hold a new one says so.
    QTreeWidgetItem* photos = Child(nf, "Photos");
    QVERIFY(rmdir(Dir("nf/Photos").c_str()) == 0);
    m_tree->SetCommandItem(photos);
    m_tree->RunCommand(900);
    QCOMPARE(m_tree->errors, QStringList({"Can't create folder"}));
}

void TestFolderTree::renameOtherFolder()
{
    QVERIFY(Mkdir("old") && Mkdir("old/inner") && Mkdir("m"));
    QVERIFY(m_tree->SelectPidl(Parse(Dir("old/inner")), true));
    QTreeWidgetItem* old = m_tree->currentItem()->parent();
    QTreeWidgetItem* folder = old->parent();
    m_tree->SetCommandItem(old);
    m_tree->RunCommand(901);
    QVERIFY(TypeLabel(*m_tree, "a new"));
    QVERIFY(Exists(Dir("a new/inner")) && !Exists(Dir("old")));
    QCOMPARE(Labels(folder), QStringList({"a new", "m"}));
    QVERIFY(m_tree->GetItemPidl(old).Equals(Parse(Dir("a new"))));
    QCOMPARE(m_receiver.renames, 0);
    // The shown folder inside is announced again under its new path.
    QCOMPARE(m_receiver.chosen.size(), size_t(2));
    QVERIFY(m_receiver.chosen.back().Equals(Parse(Dir("a new/inner"))));
    // A name already taken is refused: the old label and place come back.
    QVERIFY(m_tree->errors.isEmpty());
    m_tree->SetCommandItem(Child(folder, "m"));
    m_tree->RunCommand(901);
    QVERIFY(TypeLabel(*m_tree, "a new"));
    QCOMPARE(Labels(folder), QStringList({"a new", "m"}));
    QCOMPARE(m_tree->errors.size(), 1);
    QVERIFY(m_tree->GetItemPidl(Child(folder, "m")).Equals(Parse(Dir("m"))));
}

void TestFolderTree::renameSelectedGoesThroughReceiver()
{
    QVERIFY(Mkdir("shown"));
    QVERIFY(m_tree->SelectPidl(Parse(Dir("shown")), true));
    QTreeWidgetItem* shown = m_tree->currentItem();
    m_receiver.acceptRename = false;
    m_tree->SetCommandItem(shown);
    m_tree->RunCommand(901);
    QVERIFY(TypeLabel(*m_tree, "moved"));
    QCOMPARE(m_receiver.renames, 1);
    QCOMPARE(shown->text(0), QString("shown"));
    QVERIFY(Exists(Dir("shown")));
    m_receiver.acceptRename = true;
    m_tree->RunCommand(901);
    QVERIFY(TypeLabel(*m_tree, "moved"));
    QCOMPARE(m_receiver.renames, 2);
    QCOMPARE(shown->text(0), QString("moved"));
    QVERIFY(m_tree->GetItemPidl(shown).Equals(Parse(Dir("moved"))));
    QVERIFY(Exists(Dir("moved")) && !Exists(Dir("shown")));
}

void TestFolderTree::deleteMovesSelectionOffThenTrashes()
{
    QVERIFY(Mkdir("keep") && Mkdir("victim") && Mkdir("victim/inner") && Mkdir("solo") && Mkdir("solo/only"));
    QVERIFY(m_tree->SelectPidl(Parse(Dir("victim/inner")), true));
    QTreeWidgetItem* folder = m_tree->currentItem()->parent()->parent();
    m_tree->SetCommandItem(Child(folder, "victim"));
    m_tree->RunCommand(902);
    QCOMPARE(m_tree->confirmed, std::vector<std::string>({Dir("victim")}));
    // The parent was chosen (and announced) before the folder went.
    QCOMPARE(m_tree->currentItem(), folder);
    QVERIFY(m_receiver.chosen.back().Equals(Parse(m_dir->path())));
    QVERIFY(!Exists(Dir("victim")));
    QVERIFY(Exists(m_env->path() + "/data/Trash/files/victim/inner"));
    QCOMPARE(Labels(folder), QStringList({"keep", "solo"}));
    // The only child going collapses its parent, which keeps its button.
    QTreeWidgetItem* solo = Child(folder, "solo");
    m_tree->expandItem(solo);
    m_tree->SetCommandItem(Child(solo, "only"));
    m_tree->RunCommand(902);
    QVERIFY(!solo->isExpanded());
    QCOMPARE(solo->childCount(), 0);
    QCOMPARE(solo->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    QVERIFY(m_tree->errors.isEmpty());
    // The Delete key asks first; a folder that cannot go asks nothing.
    m_tree->answerDelete = false;
    m_tree->setCurrentItem(Child(folder, "keep"));
    QTest::keyClick(m_tree.get(), Qt::Key_Delete);
    QTRY_COMPARE(m_tree->confirmed.size(), size_t(3));
    QVERIFY(Exists(Dir("keep")));
    m_tree->setCurrentItem(Child(m_tree->topLevelItem(0), "Home"));
    QTest::keyClick(m_tree.get(), Qt::Key_Delete);
    QCoreApplication::processEvents();
    QCOMPARE(m_tree->confirmed.size(), size_t(3));
}

void TestFolderTree::oddNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("not UTF-8") << QByteArray("caf\xE9");
    QTest::newRow("leading dash") << QByteArray("-rf");
    QTest::newRow("newline") << QByteArray("two\nlines");
    QTest::newRow("254 bytes") << QByteArray(254, 'n');
}

// Listed, chosen, renamed and trashed by their bytes, whatever the label shows.
void TestFolderTree::oddNames()
{
    QFETCH(QByteArray, name);
    const std::string raw = name.toStdString();
    QVERIFY(Mkdir(raw) && Mkdir(raw + "/in") && Mkdir(raw + "2"));
    QTreeWidgetItem* folder = Open(m_dir->path());
    const QString label = QString::fromStdString(DisplayUtf8(raw));
    QTreeWidgetItem* item = Child(folder, label);
    QVERIFY(item);
    QVERIFY(m_tree->SelectPidl(Parse(Dir(raw)), true));
    QCOMPARE(m_tree->currentItem(), item);
    QVERIFY(m_receiver.chosen.back().Equals(Parse(Dir(raw))));
    QCOMPARE(Labels(item), QStringList({"in"}));
    // Followed by its bytes too: a folder made in it appears.
    m_tree->expandItem(item);
    QVERIFY(Mkdir(raw + "/new"));
    QTRY_COMPARE(Labels(item), QStringList({"in", "new"}));
    // An unchanged label renames nothing: replacement characters stay out.
    m_tree->setCurrentItem(folder);
    m_tree->SetCommandItem(item);
    m_tree->RunCommand(901);
    QVERIFY(TypeLabel(*m_tree, label));
    QVERIFY(Exists(Dir(raw)));
    m_tree->RunCommand(901);
    QVERIFY(TypeLabel(*m_tree, "renamed"));
    QVERIFY(Exists(Dir("renamed/in")) && !Exists(Dir(raw)));
    m_tree->SetCommandItem(Child(folder, label + "2"));
    m_tree->RunCommand(902);
    QCOMPARE(m_tree->confirmed, std::vector<std::string>({Dir(raw + "2")}));
    QVERIFY(!Exists(Dir(raw + "2")));
    QCOMPARE(Labels(folder), QStringList({"renamed"}));
    QVERIFY(m_tree->errors.isEmpty());
}

void TestFolderTree::iconsOnlyForPaintedRows()
{
    for (int i = 0; i < 200; ++i)
        QVERIFY(Mkdir(QString("d%1").arg(i, 3, 10, QChar('0')).toStdString()));
    QTreeWidgetItem* folder = Open(m_dir->path());
    m_tree->scrollToItem(folder->child(0), QAbstractItemView::PositionAtTop);
    m_tree->grab();
    const auto key = [](QTreeWidgetItem* item) { return item->icon(0).cacheKey(); };
    QTreeWidgetItem* first = folder->child(0);
    QTreeWidgetItem* last = folder->child(199);
    // Rows not painted yet show the generic icon; painted ones their own.
    QVERIFY(key(first) != key(last));
    QCOMPARE(key(last), key(folder->child(198)));
    m_tree->scrollToItem(last);
    m_tree->grab();
    QCOMPARE(key(last), key(first));
}

QTEST_MAIN(TestFolderTree)
#include "tst_foldertree.moc"
