#include "app/frame_windows.h"

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
#include "windows/slide_show_dialog.h"

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

CFrameWindows::CFrameWindows(CMainFrame* frame, AppSettings* settings, CThumbLoader* loader)
    : m_frame(frame), m_settings(settings), m_loader(loader)
{
}

void CFrameWindows::CreatePropertiesWindow()
{
    m_propertiesWnd = new CPropertiesWnd(m_frame, m_settings->propertiesRect.ToQRect());
}

void CFrameWindows::ShowPropertiesOf(ImageItem* item)
{
    if (auto* window = qobject_cast<CPropertiesWnd*>(m_propertiesWnd.data()))
        window->ShowItem(*m_loader, item);
}

bool CFrameWindows::CloseActiveOnEscape(QWidget* active)
{
    if (m_propertiesWnd && m_propertiesWnd->isVisible() && active == m_propertiesWnd) {
        m_propertiesWnd->hide();
        return true;
    }
    if (m_aboutWnd && active == m_aboutWnd) {
        QMetaObject::invokeMethod(m_aboutWnd.data(), &QWidget::close, Qt::QueuedConnection);
        return true;
    }
    return false;
}

void CFrameWindows::OnImagePropertiesCommand()
{
    if (!m_propertiesWnd)
        return;
    if (m_propertiesWnd->isHidden())
        m_propertiesWnd->show();
    if (m_frame->CurrentItem())
        ShowPropertiesOf(m_frame->CurrentItem());
    m_propertiesWnd->raise();
    m_propertiesWnd->activateWindow();
}

void CFrameWindows::OnOptionsCommand()
{
    CDesktopAssociation association(XdgDirs::FromEnvironment(), ProgramPath());
    COptionsDlg dialog(m_frame);
    dialog.dithering = m_settings->dithering;
    dialog.highQualitySubsampling = m_settings->highQualitySubsampling;
    dialog.zoomInterpolation = m_settings->zoomInterpolation;
    dialog.exitByEsc = m_settings->exitByEsc;
    dialog.exifThumbnails = m_settings->exifThumbnails;
    dialog.sharedThumbnailCache = m_settings->sharedThumbnailCache;
    dialog.autoOrient = m_settings->autoOrient;
    dialog.useColourProfiles = m_settings->useColourProfiles;
    dialog.associate = association.IsAssociated();
    dialog.keepModificationTime = m_settings->keepModificationTime;
    if (dialog.exec() != QDialog::Accepted)
        return;
    OptionsEffects effects;
    effects.setUpDisplayBitmap = [this] { m_frame->SetUpDisplayBitmap(); };
    effects.renewDecoding = [this] { m_frame->ApplyLoaderOptions(); };
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

void CFrameWindows::OnAboutCommand()
{
    if (m_aboutWnd)
        return;
    auto* about = new CAboutWnd(m_frame);
    if (!about->IsCreated()) {
        delete about;
        return;
    }
    m_aboutWnd = about;
    about->show();
    about->activateWindow();
}

void CFrameWindows::AdjustSlideShow()
{
    CSlideShowDlg dialog(m_frame);
    dialog.delay = m_settings->slideDelay;
    dialog.forward = m_settings->slideBackward ? 0 : 1;
    dialog.backward = m_settings->slideBackward ? 1 : 0;
    dialog.repeat = m_settings->slideRepeat ? 1 : 0;
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_settings->slideDelay = dialog.delay;
    m_settings->slideBackward = dialog.backward != 0;
    m_settings->slideRepeat = dialog.repeat != 0;
    m_frame->UpdateSlideTimer();
}
