// The folder tree's drag and drop: which rows take a drop and with which
// action, the confirmation, the move or copy and the tree's update after it,
// the hover step that opens and scrolls, and a folder dragged out.

#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "folder_tree_test_util.h"
#include "tree/folder_tree.h"
#include "browse/uri_list.h"
#include "tests/core/browse/browse_test_util.h"

using browsetest::Exists;
using browsetest::MakeFile;
using browsetest::TempDir;

namespace {

// Answers the confirmation, runs transfers without dialogs, and stands in
// for the program that receives a folder dragged out.
class DropTree : public CFolderTree {
public:
    bool answer = true;
    QStringList confirmations;
    std::vector<TransferResult> transfers;
    std::function<Qt::DropAction(const QMimeData&)> receiver;
    QByteArray dragged;
    int drags = 0;
    QTreeWidgetItem* currentAtDrag = nullptr;

    // Presses the left button at `pos` and moves away with it held, as a
    // user starts a drag.
    void DragFrom(const QPoint& pos)
    {
        dragged.clear();
        drags = 0;
        const auto send = [this](QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, viewport()->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(viewport(), &event);
        };
        send(QEvent::MouseButtonPress, pos, Qt::LeftButton);
        const int step = QApplication::startDragDistance() + 2;
        // A drag takes the moves and the release that follow it.
        for (int i = 1; i <= 3 && !drags; ++i)
            send(QEvent::MouseMove, pos + QPoint(step * i, 0), Qt::LeftButton);
        if (!drags)
            send(QEvent::MouseButtonRelease, pos + QPoint(step * 3, 0), Qt::NoButton);
    }

protected:
    bool ConfirmTransfer(bool copy, const std::vector<std::string>& sources,
                         const std::string& destination) override
    {
        confirmations << ConfirmTransferText(copy, sources.size(), destination);
        return answer;
    }
    TransferResult RunTransfer(TransferKind kind, const std::vector<std::string>& sources,
                               const std::string& target) override
    {
        // No handler: a collision cancels.
        transfers.push_back(CFileTransfer(kind, sources, target).Run());
        return transfers.back();
    }
    Qt::DropAction RunDrag(QMimeData* data) override
    {
        std::unique_ptr<QMimeData> owned(data);
        ++drags;
        currentAtDrag = currentItem();
        dragged = data->data(QStringLiteral("text/uri-list"));
        return receiver ? receiver(*data) : Qt::IgnoreAction;
    }
};

struct DragAnswer {
    bool accepted;
    Qt::DropAction action;
};

// An enter and a move at `pos` (viewport coordinates): the move's answer.
DragAnswer DragTo(CFolderTree& tree, const QMimeData& data, const QPoint& pos,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  Qt::DropActions possible = Qt::CopyAction | Qt::MoveAction)
{
    QDragEnterEvent enter(pos, possible, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(tree.viewport(), &enter);
    QDragMoveEvent move(pos, possible, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(tree.viewport(), &move);
    return {move.isAccepted(), move.isAccepted() ? move.dropAction() : Qt::IgnoreAction};
}

DragAnswer DropAt(CFolderTree& tree, const QMimeData& data, const QPoint& pos,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    DragTo(tree, data, pos, modifiers);
    QDropEvent drop(QPointF(pos), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(tree.viewport(), &drop);
    return {drop.isAccepted(), drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction};
}

std::unique_ptr<QMimeData> Files(const std::vector<std::string>& paths)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("text/uri-list"), EncodeUriList(paths));
    return data;
}

using treetest::Child;
using treetest::Labels;

}  // namespace

class TestFolderTreeDrop : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void confirmationText();
    void dragOverTakesFileSystemFoldersOnTheirLabel();
    void dropMovesAfterConfirmationAndShowsNewFolders();
    void dropWithCtrlCopiesAndCollapsedTargetStaysClosed();
    void dropRefusedOrUnreadableChangesNothing();
    void dropDoneInPartIsNotReportedAsMoved();
    void restingOnAFolderOpensIt();
    void restingOnTheTopOrBottomRowScrolls();
    void folderDraggedOutLeavesOnlyWhenGone();

private:
    std::string Dir(const std::string& name) const { return m_dir->path() + "/" + name; }
    bool Mkdir(const std::string& name) const { return mkdir(Dir(name).c_str(), 0755) == 0; }
    // Shows the test folder in the tree, expanded; its item.
    QTreeWidgetItem* OpenTestFolder();
    QPoint OnLabel(QTreeWidgetItem* item) const
    {
        // In the middle: resting on the top or bottom row would scroll.
        m_tree->scrollToItem(item, QAbstractItemView::PositionAtCenter);
        const QRect r = m_tree->visualItemRect(item);
        return QPoint(r.left() + m_tree->iconSize().width() / 2, r.center().y());
    }

    std::unique_ptr<TempDir> m_env;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<DropTree> m_tree;
};

void TestFolderTreeDrop::initTestCase()
{
    m_env = std::make_unique<TempDir>();
    const std::string env = m_env->path();
    for (const char* sub : {"/home", "/config", "/data"})
        QVERIFY(mkdir((env + sub).c_str(), 0700) == 0);
    setenv("HOME", (env + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (env + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (env + "/data").c_str(), 1);
    setenv("XDG_DESKTOP_DIR", (env + "/home").c_str(), 1);
}

void TestFolderTreeDrop::init()
{
    m_dir = std::make_unique<TempDir>();
    m_tree = std::make_unique<DropTree>();
    QVERIFY(m_tree->Create());
    m_tree->resize(400, 600);
    m_tree->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
}

void TestFolderTreeDrop::cleanup()
{
    m_tree.reset();
    m_dir.reset();
}

QTreeWidgetItem* TestFolderTreeDrop::OpenTestFolder()
{
    CShellPidl full;
    if (!full.ParseName(m_dir->path()) || !m_tree->SelectPidl(full, false))
        return nullptr;
    return m_tree->currentItem();
}

void TestFolderTreeDrop::confirmationText()
{
    QCOMPARE(CFolderTree::ConfirmTransferText(false, 1, "/photos"),
             QStringLiteral("Do you want to move 1 item(s) to /photos?"));
    QCOMPARE(CFolderTree::ConfirmTransferText(true, 12, "/a b/\xff"),
             QStringLiteral("Do you want to copy 12 item(s) to /a b/\uFFFD?"));
}

void TestFolderTreeDrop::dragOverTakesFileSystemFoldersOnTheirLabel()
{
    QVERIFY(Mkdir("t") && Mkdir("a folder with a much longer name"));
    QTreeWidgetItem* folder = OpenTestFolder();
    QVERIFY(folder);
    QTreeWidgetItem* target = Child(folder, QStringLiteral("t"));
    QTreeWidgetItem* computer = Child(m_tree->topLevelItem(0), QStringLiteral("Computer"));
    QVERIFY(target && computer);
    const auto files = Files({Dir("x.jpg")});
    const QPoint label = OnLabel(target);
    const QRect row = m_tree->visualItemRect(target);
    const struct {
        const char* name;
        QPoint pos;
        Qt::KeyboardModifiers modifiers;
        Qt::DropActions possible;
        Qt::DropAction expected;  // IgnoreAction: not taken
    } cases[] = {
        {"label", label, Qt::NoModifier, Qt::CopyAction | Qt::MoveAction, Qt::MoveAction},
        {"label with Ctrl", label, Qt::ControlModifier, Qt::CopyAction | Qt::MoveAction, Qt::CopyAction},
        {"label with Shift", label, Qt::ShiftModifier, Qt::CopyAction | Qt::MoveAction, Qt::CopyAction},
        {"source that only copies", label, Qt::NoModifier, Qt::CopyAction, Qt::CopyAction},
        {"source that only links", label, Qt::NoModifier, Qt::LinkAction, Qt::IgnoreAction},
        {"indentation", QPoint(row.left() - 4, row.center().y()), Qt::NoModifier, Qt::MoveAction,
         Qt::IgnoreAction},
        {"right of the label", QPoint(row.left() + 120, row.center().y()), Qt::NoModifier, Qt::MoveAction,
         Qt::IgnoreAction},
    };
    for (const auto& c : cases) {
        const DragAnswer answer = DragTo(*m_tree, *files, c.pos, c.modifiers, c.possible);
        QCOMPARE(answer.action, c.expected);
        QCOMPARE(answer.accepted, c.expected != Qt::IgnoreAction);
        QCOMPARE(m_tree->DropHighlight() == target,
                 c.expected != Qt::IgnoreAction || c.possible != Qt::MoveAction);
    }
    // A virtual folder takes nothing.
    QCOMPARE(DragTo(*m_tree, *files, OnLabel(computer)).accepted, false);
    QVERIFY(!m_tree->DropHighlight());
    QDragLeaveEvent leave;
    QApplication::sendEvent(m_tree->viewport(), &leave);
    QVERIFY(!m_tree->DropHighlight());
    // Below the last row nothing takes the drop. The rows are folded first:
    // the test folder's ancestors and their siblings may fill the view.
    m_tree->collapseAll();
    const DragAnswer below = DragTo(*m_tree, *files, QPoint(10, m_tree->viewport()->height() - 2),
                                    Qt::NoModifier, Qt::MoveAction);
    QCOMPARE(below.action, Qt::IgnoreAction);
    QVERIFY(!below.accepted);
}

void TestFolderTreeDrop::dropMovesAfterConfirmationAndShowsNewFolders()
{
    QVERIFY(Mkdir("src") && Mkdir("src/new") && Mkdir("t") && Mkdir("t/old") && Mkdir("t/zed"));
    // Names that are not UTF-8 arrive byte for byte through the file list.
    const std::string odd = "-\xff\xfe\nodd.jpg";
    QVERIFY(MakeFile(Dir("src/a.jpg")) && MakeFile(Dir("src/new/b.jpg")) && MakeFile(Dir("src/" + odd)));
    QTreeWidgetItem* target = Child(OpenTestFolder(), QStringLiteral("t"));
    QVERIFY(target);
    m_tree->expandItem(target);
    const auto files = Files({Dir("src/a.jpg"), Dir("src/new"), Dir("src/" + odd)});
    const DragAnswer answer = DropAt(*m_tree, *files, OnLabel(target));
    QCOMPARE(m_tree->confirmations, QStringList {CFolderTree::ConfirmTransferText(false, 3, Dir("t"))});
    QVERIFY(answer.accepted);
    QCOMPARE(answer.action, Qt::MoveAction);
    QVERIFY(Exists(Dir("t/a.jpg")) && Exists(Dir("t/new/b.jpg")) && Exists(Dir("t/" + odd)));
    QVERIFY(!Exists(Dir("src/a.jpg")) && !Exists(Dir("src/new")) && !Exists(Dir("src/" + odd)));
    // The new folder takes its sorted place; the highlight is gone.
    QCOMPARE(Labels(target), (QStringList {"new", "old", "zed"}));
    QVERIFY(!m_tree->DropHighlight());
}

void TestFolderTreeDrop::dropWithCtrlCopiesAndCollapsedTargetStaysClosed()
{
    QVERIFY(Mkdir("src") && Mkdir("src/new") && Mkdir("t"));
    QVERIFY(MakeFile(Dir("src/new/b.jpg")));
    QTreeWidgetItem* target = Child(OpenTestFolder(), QStringLiteral("t"));
    m_tree->SetHasChildren(target, 0);
    const auto files = Files({Dir("src/new")});
    const DragAnswer answer = DropAt(*m_tree, *files, OnLabel(target), Qt::ControlModifier);
    QVERIFY(answer.accepted);
    QCOMPARE(answer.action, Qt::CopyAction);
    QVERIFY(Exists(Dir("t/new/b.jpg")) && Exists(Dir("src/new/b.jpg")));
    QCOMPARE(m_tree->confirmations.value(0), CFolderTree::ConfirmTransferText(true, 1, Dir("t")));
    QVERIFY(!target->isExpanded());
    QCOMPARE(target->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

void TestFolderTreeDrop::dropRefusedOrUnreadableChangesNothing()
{
    QVERIFY(Mkdir("src") && Mkdir("t"));
    QVERIFY(MakeFile(Dir("src/a.jpg")));
    QTreeWidgetItem* target = Child(OpenTestFolder(), QStringLiteral("t"));
    // No in the confirmation.
    m_tree->answer = false;
    const auto files = Files({Dir("src/a.jpg")});
    QVERIFY(!DropAt(*m_tree, *files, OnLabel(target)).accepted);
    QCOMPARE(m_tree->confirmations.size(), 1);
    // No file list, or a drop beside the label: nothing is even asked.
    m_tree->answer = true;
    QMimeData text;
    text.setText(QStringLiteral("/etc/passwd"));
    QVERIFY(!DropAt(*m_tree, text, OnLabel(target)).accepted);
    QVERIFY(!DropAt(*m_tree, *files, QPoint(10, m_tree->viewport()->height() - 2)).accepted);
    QCOMPARE(m_tree->confirmations.size(), 1);
    QVERIFY(m_tree->transfers.empty());
    QVERIFY(Exists(Dir("src/a.jpg")) && !Exists(Dir("t/a.jpg")));
}

void TestFolderTreeDrop::dropDoneInPartIsNotReportedAsMoved()
{
    // The folder goes; the file meets one of its name and the transfer
    // stops there. The drag source must not hear "moved".
    QVERIFY(Mkdir("src") && Mkdir("src/new") && Mkdir("t") && Mkdir("t/old"));
    QVERIFY(MakeFile(Dir("src/a.jpg")) && MakeFile(Dir("t/a.jpg"), "other"));
    QTreeWidgetItem* target = Child(OpenTestFolder(), QStringLiteral("t"));
    m_tree->expandItem(target);
    const auto files = Files({Dir("src/new"), Dir("src/a.jpg")});
    QVERIFY(!DropAt(*m_tree, *files, OnLabel(target)).accepted);
    QCOMPARE(m_tree->transfers.size(), size_t(1));
    QCOMPARE(int(m_tree->transfers[0].outcome), int(TransferOutcome::Cancelled));
    QVERIFY(Exists(Dir("t/new")) && Exists(Dir("src/a.jpg")));
    QCOMPARE(Labels(target), (QStringList {"new", "old"}));
}

void TestFolderTreeDrop::restingOnAFolderOpensIt()
{
    QVERIFY(Mkdir("t") && Mkdir("t/inner"));
    QTreeWidgetItem* target = Child(OpenTestFolder(), QStringLiteral("t"));
    QVERIFY(!target->isExpanded());
    const auto files = Files({Dir("x.jpg")});
    QVERIFY(DragTo(*m_tree, *files, OnLabel(target)).accepted);
    QTRY_VERIFY(target->isExpanded());
    QCOMPARE(Labels(target), QStringList {"inner"});
    QDragLeaveEvent leave;
    QApplication::sendEvent(m_tree->viewport(), &leave);
}

void TestFolderTreeDrop::restingOnTheTopOrBottomRowScrolls()
{
    for (int i = 0; i < 80; ++i)
        QVERIFY(Mkdir("folder " + std::to_string(100 + i)));
    QTreeWidgetItem* folder = OpenTestFolder();
    QVERIFY(folder);
    QScrollBar* bar = m_tree->verticalScrollBar();
    const auto files = Files({Dir("x.jpg")});
    const int x = m_tree->visualItemRect(folder->child(0)).left() + 4;

    bar->setValue(bar->maximum() / 2);
    const int middle = bar->value();
    DragTo(*m_tree, *files, QPoint(x, 2));
    QTRY_VERIFY(bar->value() < middle - 2);

    bar->setValue(bar->maximum() / 2);
    DragTo(*m_tree, *files, QPoint(x, m_tree->viewport()->height() - 3));
    QTRY_VERIFY(bar->value() > middle + 2);
    QDragLeaveEvent leave;
    QApplication::sendEvent(m_tree->viewport(), &leave);
}

void TestFolderTreeDrop::folderDraggedOutLeavesOnlyWhenGone()
{
    QVERIFY(Mkdir("keep") && Mkdir("moved") && Mkdir("quiet") && Mkdir("elsewhere"));
    QTreeWidgetItem* folder = OpenTestFolder();
    m_tree->setCurrentItem(Child(folder, QStringLiteral("moved")));
    const struct {
        const char* name;
        bool receiverMoves;
        Qt::DropAction reported;
        bool leaves;
    } cases[] = {
        {"keep", false, Qt::MoveAction, false},  // says moved, but is still there
        {"moved", true, Qt::MoveAction, true},
        {"quiet", true, Qt::IgnoreAction, true},  // moved without saying so
    };
    for (const auto& c : cases) {
        QTreeWidgetItem* item = Child(folder, QString::fromUtf8(c.name));
        QVERIFY(item);
        const std::string path = Dir(c.name);
        m_tree->receiver = [&](const QMimeData&) {
            if (c.receiverMoves)
                rename(path.c_str(), Dir(std::string("elsewhere/") + c.name).c_str());
            return c.reported;
        };
        QTreeWidgetItem* shown = m_tree->currentItem();
        m_tree->DragFrom(OnLabel(item));
        QCOMPARE(DecodeUriList(m_tree->dragged), std::vector<std::string> {path});
        QCOMPARE(Child(folder, QString::fromUtf8(c.name)) != nullptr, !c.leaves);
        // Pressing to drag did not open the dragged folder.
        QCOMPARE(m_tree->currentAtDrag, shown);
    }
    // The shown folder went: the selection moved to its parent first.
    QCOMPARE(m_tree->currentItem(), folder);
    // A click without a drag opens its folder when the button comes up.
    const QPoint keep = OnLabel(Child(folder, QStringLiteral("keep")));
    QTest::mousePress(m_tree->viewport(), Qt::LeftButton, {}, keep);
    QCOMPARE(m_tree->currentItem(), folder);
    QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, {}, keep);
    QCOMPARE(m_tree->currentItem()->text(0), QStringLiteral("keep"));
    // A virtual folder has no path and is not dragged.
    m_tree->dragged.clear();
    m_tree->DragFrom(OnLabel(Child(m_tree->topLevelItem(0), QStringLiteral("Computer"))));
    QVERIFY(m_tree->dragged.isEmpty());
}

QTEST_MAIN(TestFolderTreeDrop)
#include "tst_foldertreedrop.moc"
