#include "windows/collision_dialog.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <sys/stat.h>

#include "browse/shell_pidl.h"
#include "report/string_table.h"

namespace {

struct ButtonEntry {
    CollisionAnswer answer;
    const char* text;
    QDialogButtonBox::ButtonRole role;
};

// In the order the buttons stand; Replace reads "Merge" for two folders.
constexpr ButtonEntry kButtons[] = {
    {CollisionAnswer::Replace, "Replace", QDialogButtonBox::AcceptRole},
    {CollisionAnswer::Skip, "Skip", QDialogButtonBox::AcceptRole},
    {CollisionAnswer::KeepBoth, "Keep both", QDialogButtonBox::AcceptRole},
    {CollisionAnswer::Cancel, "Cancel", QDialogButtonBox::RejectRole},
};

QString Readable(const std::string& bytes)
{
    return QString::fromStdString(DisplayUtf8(bytes));
}

QString NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return Readable(slash == std::string::npos ? path : path.substr(slash + 1));
}

QString FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return Readable(slash == std::string::npos ? std::string(".") : path.substr(0, slash ? slash : 1));
}

// "1.2 MB, 3 May 2019 10:04" for a file; "a folder" for a folder.
QString Describe(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return QStringLiteral("gone");
    const QString when
        = QLocale().toString(QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec), QLocale::ShortFormat);
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("a folder, changed %1").arg(when);
    return QStringLiteral("%1, changed %2").arg(QLocale().formattedDataSize(st.st_size), when);
}

QString Question(const TransferCollision& c, TransferKind kind)
{
    const QString verb = kind == TransferKind::Move ? QStringLiteral("moved") : QStringLiteral("copied");
    QString text
        = QStringLiteral("\"%1\" is already in \"%2\".").arg(NameOf(c.existing), FolderOf(c.existing));
    if (c.IsMerge())
        text += QStringLiteral(
            "\nMerge the folders? Files of the same name in them are asked about one by one.");
    else if (c.sourceIsFolder != c.existingIsFolder)
        text += QStringLiteral("\nA file and a folder can't replace each other.");
    text += QStringLiteral("\n\nThere: %1\nTo be %2: %3").arg(Describe(c.existing), verb, Describe(c.source));
    return text;
}

}  // namespace

CCollisionDialog::CCollisionDialog(const TransferCollision& collision, TransferKind kind, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(res::String(res::kStrAppTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(Question(collision, kind), this);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    layout->addWidget(label);
    m_applyToAll = new QCheckBox(QStringLiteral("Apply to all"), this);
    layout->addWidget(m_applyToAll);
    auto* box = new QDialogButtonBox(this);
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const ButtonEntry& entry = kButtons[i];
        const bool merge = entry.answer == CollisionAnswer::Replace && collision.IsMerge();
        QPushButton* button
            = box->addButton(merge ? QStringLiteral("Merge") : QString::fromUtf8(entry.text), entry.role);
        connect(button, &QPushButton::clicked, this, [this, answer = entry.answer] { Answer(answer); });
        m_buttons[i] = button;
    }
    Button(CollisionAnswer::Replace)->setEnabled(collision.sourceIsFolder == collision.existingIsFolder);
    // Enter keeps both: the one answer that loses nothing and skips nothing.
    Button(CollisionAnswer::KeepBoth)->setDefault(true);
    layout->addWidget(box);
}

QPushButton* CCollisionDialog::Button(CollisionAnswer answer) const
{
    for (size_t i = 0; i < std::size(kButtons); ++i)
        if (kButtons[i].answer == answer)
            return m_buttons[i];
    return nullptr;
}

void CCollisionDialog::Answer(CollisionAnswer answer)
{
    m_choice.answer = answer;
    m_choice.applyToAll = m_applyToAll->isChecked();
    if (answer == CollisionAnswer::Cancel)
        reject();
    else
        accept();
}

CollisionChoice CCollisionDialog::Ask(const TransferCollision& collision, TransferKind kind, QWidget* parent)
{
    CCollisionDialog dialog(collision, kind, parent);
    // Closed without an answer (ESC, the window's close button): cancel.
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.Choice();
}
