// The auxiliary windows and the Options dialog: the properties window made
// hidden at creation and shown by F2, the About window made on demand, and
// the options' effects on the display bitmap, the loader and the desktop
// association.

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>

#include "app/main_frame.h"
#include "loader/thumb_loader.h"
#include "windows/about_window.h"
#include "desktop/desktop_association.h"
#include "windows/options_dialog.h"
#include "windows/properties_window.h"

Q_LOGGING_CATEGORY(lcWindows, "lumvane.windows", QtWarningMsg)

namespace {

// The program's own absolute path, as the kernel knows it.
std::string ProgramPath()
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n > 0 && size_t(n) < sizeof buf)
        return std::string(buf, size_t(n));
    return QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
}

}  // namespace

void CMainFrame::CreatePropertiesWindow()
{
    m_propertiesWnd = new CPropertiesWnd(this, m_settings->propertiesRect.ToQRect());
}

void CMainFrame::ShowPropertiesOf(ImageItem* item)
{
    if (auto* window = qobject_cast<CPropertiesWnd*>(m_propertiesWnd.data()))
        window->ShowItem(*m_loader, item);
}

void CMainFrame::OnImagePropertiesCommand()
{
    if (!m_propertiesWnd)
        return;
    if (m_propertiesWnd->isHidden())
        m_propertiesWnd->show();
    if (m_currentItem)
        ShowPropertiesOf(m_currentItem);
    m_propertiesWnd->raise();
    m_propertiesWnd->activateWindow();
}

void CMainFrame::OnOptionsCommand()
{
    CDesktopAssociation association(XdgDirs::FromEnvironment(), ProgramPath());
    COptionsDlg dialog(this);
    dialog.dithering = m_settings->dithering;
    dialog.highQualitySubsampling = m_settings->highQualitySubsampling;
    dialog.zoomInterpolation = m_settings->zoomInterpolation;
    dialog.exitByEsc = m_settings->exitByEsc;
    dialog.exifThumbnails = m_settings->exifThumbnails;
    dialog.sharedThumbnailCache = m_settings->sharedThumbnailCache;
    dialog.autoOrient = m_settings->autoOrient;
    dialog.useColourProfiles = m_settings->useColourProfiles;
    dialog.associate = association.IsAssociated();
    if (dialog.exec() != QDialog::Accepted)
        return;
    OptionsEffects effects;
    effects.setUpDisplayBitmap = [this] { SetUpDisplayBitmap(); };
    effects.renewDecoding = [this] { ApplyLoaderOptions(); };
    effects.isAssociated = [&association] { return association.IsAssociated(); };
    // A failure is silent to the user; the box shows the platform's state
    // the next time the dialog opens.
    effects.setAssociated = [&association](bool on) {
        std::string why;
        if (!(on ? association.Associate(&why) : association.Unassociate(&why)))
            qCWarning(lcWindows) << "association not changed:" << why.c_str();
    };
    ApplyOptions(dialog, *m_settings, effects);
}

void CMainFrame::OnAboutCommand()
{
    if (m_aboutWnd)
        return;
    auto* about = new CAboutWnd(this);
    if (!about->IsCreated()) {
        delete about;
        return;
    }
    m_aboutWnd = about;
    about->show();
    about->activateWindow();
}
