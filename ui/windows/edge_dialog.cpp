#include "windows/edge_dialog.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

#include "browse/shell_pidl.h"
#include "report/string_table.h"

EdgeChoice AskEdgeAnswer(QWidget* parent, const std::string& path, bool several)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    QMessageBox box(
        QMessageBox::Question, QString::fromUtf8(res::String(res::kStrAppTitle)),
        QStringLiteral("\"%1\"\nThis photo's size is not a multiple of its block size, so its right "
                       "or bottom edge cannot be turned losslessly.")
            .arg(QString::fromStdString(DisplayUtf8(name))),
        QMessageBox::NoButton, parent);
    box.setInformativeText(QStringLiteral(
        "Trim the edge to drop the few rows or columns of pixels that can't be turned, or keep every pixel "
        "and turn the photo by its Exif orientation tag (programs that ignore the tag show it as it was)."));
    QPushButton* skip = box.addButton(QStringLiteral("Skip This Photo"), QMessageBox::RejectRole);
    QPushButton* trim = box.addButton(QStringLiteral("Trim the Edge"), QMessageBox::AcceptRole);
    QPushButton* tag = box.addButton(QStringLiteral("Use the Orientation Tag"), QMessageBox::AcceptRole);
    box.setDefaultButton(skip);
    box.setEscapeButton(skip);
    if (several)
        box.setCheckBox(new QCheckBox(QStringLiteral("Apply to all"), &box));
    box.exec();
    EdgeChoice choice;
    choice.answer = box.clickedButton() == trim ? EdgeAnswer::Trim
        : box.clickedButton() == tag            ? EdgeAnswer::Tag
                                                : EdgeAnswer::Refuse;
    choice.forAll = box.checkBox() && box.checkBox()->isChecked();
    return choice;
}
