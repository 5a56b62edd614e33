#pragma once
// CFrameWindows: the windows the main window owns besides its panes. The
// properties window is made hidden with the main window and shown by F2;
// the About window is made on demand, one at a time; the Options and slide
// show dialogs run modal and write their choices to the settings.
//
// Ownership: owned by the main window, which outlives it, as do the
// settings and the loader it is given; the windows are
// the main window's children, so Qt deletes them with it, and a window the
// user closed is deleted already (the pointers here then read null).
// Thread rules: user-interface thread only.

#include <QPointer>
#include <QWidget>

class CMainFrame;
class CThumbLoader;
struct AppSettings;
struct ImageItem;

class CFrameWindows {
public:
    CFrameWindows(CMainFrame* frame, AppSettings* settings, CThumbLoader* loader);

    void CreatePropertiesWindow();
    // Shows the item's properties in the window, whether it is shown or not
    // (null: none).
    void ShowPropertiesOf(ImageItem* item);
    bool PropertiesShown() const { return m_propertiesWnd && m_propertiesWnd->isVisible(); }
    // ESC in one of these windows: hides the properties window or closes the
    // About window when it is the active one. True when the key was used.
    bool CloseActiveOnEscape(QWidget* active);

    void OnImagePropertiesCommand();
    void OnOptionsCommand();
    void OnAboutCommand();
    void AdjustSlideShow();

    QWidget* PropertiesWindow() const { return m_propertiesWnd; }
    QWidget* AboutWindow() const { return m_aboutWnd; }

private:
    CMainFrame* m_frame;
    AppSettings* m_settings;
    CThumbLoader* m_loader;
    QPointer<QWidget> m_propertiesWnd;
    QPointer<QWidget> m_aboutWnd;
};
