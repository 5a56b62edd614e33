#include "windows/options_dialog.h"

#include <iterator>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/app_settings.h"

namespace {
// The boxes in the order of the dialog and of its data exchange.
constexpr const char* kBoxTexts[] = {
    "Enable Dithering",
    "Enable High-quality Subsampling",
    "Zoom with Interpolation",
    "Exit by ESC key",
    "Allow to use Exif to get thumbnails",
    "Use the shared thumbnail cache",
    "Rotate by Exif orientation",
    "Use embedded colour profiles",
    "Associate with *.JPG and *.JPEG Files",
    "Keep the modification time when transforming",
};
static_assert(std::size(kBoxTexts) == COptionsDlg::kBoxCount);
}  // namespace

COptionsDlg::COptionsDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i] = new QCheckBox(QString::fromUtf8(kBoxTexts[i]), this);
        layout->addWidget(m_boxes[i]);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsDlg::reject);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::array<int*, COptionsDlg::kBoxCount> COptionsDlg::Members()
{
    return {&dithering,      &highQualitySubsampling, &zoomInterpolation, &exitByEsc,
            &exifThumbnails, &sharedThumbnailCache,   &autoOrient,        &useColourProfiles,
            &associate,      &keepModificationTime};
}

void COptionsDlg::showEvent(QShowEvent* event)
{
    // The members are the caller's until the dialog first shows.
    if (!m_initialised) {
        m_initialised = true;
        const auto members = Members();
        for (size_t i = 0; i < m_boxes.size(); ++i)
            m_boxes[i]->setChecked(*members[i] != 0);
    }
    QDialog::showEvent(event);
}

void COptionsDlg::accept()
{
    const auto members = Members();
    for (size_t i = 0; i < m_boxes.size(); ++i)
        *members[i] = m_boxes[i]->isChecked() ? 1 : 0;
    QDialog::accept();
}

void ApplyOptions(const COptionsDlg& dialog, AppSettings& s, const OptionsEffects& effects)
{
    const auto changed = [](uint8_t& setting, int member) {
        const uint8_t value = member != 0 ? 1 : 0;
        if (setting == value)
            return false;
        setting = value;
        return true;
    };
    if (changed(s.dithering, dialog.dithering))
        effects.setUpDisplayBitmap();
    if (changed(s.highQualitySubsampling, dialog.highQualitySubsampling))
        effects.renewDecoding();
    if (changed(s.zoomInterpolation, dialog.zoomInterpolation))
        effects.renewDecoding();
    changed(s.exitByEsc, dialog.exitByEsc);
    if (changed(s.exifThumbnails, dialog.exifThumbnails))
        effects.renewDecoding();
    if (changed(s.sharedThumbnailCache, dialog.sharedThumbnailCache))
        effects.renewDecoding();
    if (changed(s.autoOrient, dialog.autoOrient))
        effects.renewDecoding();
    if (changed(s.useColourProfiles, dialog.useColourProfiles))
        effects.renewDecoding();
    changed(s.keepModificationTime, dialog.keepModificationTime);
    // Another program may have changed the association while the dialog
    // was open: only a box that differs from the platform's answer acts.
    const bool associate = dialog.associate != 0;
    if (effects.isAssociated() != associate)
        effects.setAssociated(associate);
}
