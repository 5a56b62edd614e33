// The collision question: its buttons for files, for two folders and for a
// file meeting a folder, and the answer each click gives.

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/core/browse/browse_test_util.h"
#include "windows/collision_dialog.h"

class TestCollisionDialog : public QObject {
    Q_OBJECT

private slots:
    void buttonsFitTheKindsThatMeet();
    void clickGivesTheAnswer();
    void closingCancels();

private:
    TransferCollision Collision(bool sourceFolder, bool existingFolder)
    {
        TransferCollision c;
        c.source = m_dir.path() + (sourceFolder ? "/from/album" : "/from/a.jpg");
        c.existing = m_dir.path() + (existingFolder ? "/to/album" : "/to/a.jpg");
        c.sourceIsFolder = sourceFolder;
        c.existingIsFolder = existingFolder;
        return c;
    }
    browsetest::TempDir m_dir;
};

void TestCollisionDialog::buttonsFitTheKindsThatMeet()
{
    const struct {
        bool sourceFolder, existingFolder;
        const char* replaceText;
        bool replaceEnabled;
    } cases[] = {
        {false, false, "Replace", true},
        {true, true, "Merge", true},
        {false, true, "Replace", false},
        {true, false, "Replace", false},
    };
    for (const auto& c : cases) {
        CCollisionDialog dialog(Collision(c.sourceFolder, c.existingFolder), TransferKind::Move);
        QCOMPARE(dialog.Button(CollisionAnswer::Replace)->text(), QString::fromUtf8(c.replaceText));
        QCOMPARE(dialog.Button(CollisionAnswer::Replace)->isEnabled(), c.replaceEnabled);
        QCOMPARE(dialog.Button(CollisionAnswer::Skip)->text(), QStringLiteral("Skip"));
        QCOMPARE(dialog.Button(CollisionAnswer::KeepBoth)->text(), QStringLiteral("Keep both"));
        QCOMPARE(dialog.Button(CollisionAnswer::Cancel)->text(), QStringLiteral("Cancel"));
        QVERIFY(dialog.Button(CollisionAnswer::KeepBoth)->isDefault());
        QVERIFY(!dialog.ApplyToAllBox()->isChecked());
    }
}

void TestCollisionDialog::clickGivesTheAnswer()
{
    const struct {
        CollisionAnswer answer;
        bool all;
        int result;
    } cases[] = {
        {CollisionAnswer::Replace, false, QDialog::Accepted},
        {CollisionAnswer::Skip, true, QDialog::Accepted},
        {CollisionAnswer::KeepBoth, true, QDialog::Accepted},
        {CollisionAnswer::Cancel, false, QDialog::Rejected},
    };
    for (const auto& c : cases) {
        CCollisionDialog dialog(Collision(false, false), TransferKind::Copy);
        dialog.ApplyToAllBox()->setChecked(c.all);
        QTimer::singleShot(0, &dialog, [&] { QTest::mouseClick(dialog.Button(c.answer), Qt::LeftButton); });
        QCOMPARE(dialog.exec(), c.result);
        QCOMPARE(int(dialog.Choice().answer), int(c.answer));
        QCOMPARE(dialog.Choice().applyToAll, c.all);
    }
}

void TestCollisionDialog::closingCancels()
{
    QTimer::singleShot(0, this, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    const CollisionChoice choice = CCollisionDialog::Ask(Collision(true, true), TransferKind::Copy, nullptr);
    QCOMPARE(int(choice.answer), int(CollisionAnswer::Cancel));
}

QTEST_MAIN(TestCollisionDialog)
#include "tst_collisiondialog.moc"
