#pragma once
// The "Options" dialog: nine option flags of the settings and whether
// Lumvane is the desktop's handler of JPEG files, as ten check boxes; and
// ApplyOptions, which carries the answer out.
//
// The caller sets the ten members before exec() and reads them back after
// it returns Accepted. User-interface thread only.

#include <array>
#include <functional>

#include <QDialog>

struct AppSettings;
class QCheckBox;

class COptionsDlg : public QDialog {
    Q_OBJECT

public:
    explicit COptionsDlg(QWidget* parent = nullptr);

    int dithering = 0;
    int highQualitySubsampling = 0;
    int zoomInterpolation = 0;
    int exitByEsc = 0;
    int exifThumbnails = 0;
    int sharedThumbnailCache = 0;
    // Start as the settings' defaults do: on.
    int autoOrient = 1;
    int useColourProfiles = 1;
    int associate = 0;
    int keepModificationTime = 0;

    // The check boxes from top to bottom, for tests.
    static constexpr size_t kBoxCount = 10;
    static constexpr size_t kAssociateBox = 8;
    const std::array<QCheckBox*, kBoxCount>& Boxes() const { return m_boxes; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::array<int*, kBoxCount> Members();

    std::array<QCheckBox*, kBoxCount> m_boxes {};
    bool m_initialised = false;
};

// What the options' changes set in motion; the main window supplies them.
struct OptionsEffects {
    std::function<void()> setUpDisplayBitmap;  // and repaint
    // Hands the decode flags to the loader, decodes the thumbnails and the
    // current image again.
    std::function<void()> renewDecoding;
    std::function<bool()> isAssociated;
    std::function<void(bool associate)> setAssociated;
};

// Stores every member of an accepted dialog that differs from the settings,
// in the dialog's order, and runs its effect: the display bitmap for
// dithering, one renewal per changed decode or picture option, nothing more
// for "Exit by ESC key" (read at the next ESC) and the modification time
// (read at the next lossless turn). The association is asked again and
// changed only when the box differs from it. No change, no effect.
void ApplyOptions(const COptionsDlg& dialog, AppSettings& settings, const OptionsEffects& effects);
