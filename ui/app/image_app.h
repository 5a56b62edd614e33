#pragma once
// CImageApp: the application object. It owns the settings of the run, reads
// the command line and creates the main window.
//
// One per process, on the user-interface thread. The main window keeps a
// pointer to the settings, which live as long as this object.

#include <QApplication>
#include <QMainWindow>
#include <QPointer>

#include "common/app_settings.h"

class CMainFrame;

class CImageApp : public QApplication {
    Q_OBJECT

public:
    // Fills the settings with their defaults for the primary screen.
    CImageApp(int& argc, char** argv);
    ~CImageApp() override;

    // Reads the command line and creates and shows the main window. False
    // when the window can't be created: the program then ends silently.
    bool InitInstance();

    AppSettings& Settings() { return m_settings; }
    // The main window; null once it is destroyed.
    CMainFrame* MainFrame() const;

private:
    int& m_argc;
    char** m_argv;
    AppSettings m_settings;
    QPointer<QMainWindow> m_mainFrame;
};
