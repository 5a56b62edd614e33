#include "app/image_app.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QScreen>

#include "app/command_line.h"
#include "app/main_frame.h"
#include "pane/pane_accessible.h"
#include "view/view_accessible.h"

// The images are compiled into the static ui library; a static library's
// resources must be registered by name.
static void InitResources()
{
    Q_INIT_RESOURCE(lumvane);
}

namespace {
// The properties and About windows are plain widgets made windows, which Qt
// would present as fillers; they are windows, named by their titles.
QAccessibleInterface* WindowAccessibleFactory(const QString& className, QObject* object)
{
    if ((className == QLatin1String("CPropertiesWnd") || className == QLatin1String("CAboutWnd"))
        && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

AppSettings DefaultsForPrimaryScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(1024, 768);
    return AppSettings::Defaults(size.width(), size.height(), CurrentDirectory());
}
}  // namespace

CImageApp::CImageApp(int& argc, char** argv)
    : QApplication(argc, argv), m_argc(argc), m_argv(argv), m_settings(DefaultsForPrimaryScreen())
{
    InitResources();
    setApplicationName(QStringLiteral("Lumvane"));
    // The custom-drawn pane and view describe themselves to screen readers.
    QAccessible::installFactory(PaneAccessibleFactory);
    QAccessible::installFactory(ViewAccessibleFactory);
    QAccessible::installFactory(WindowAccessibleFactory);
    // The windows' app id on Wayland: the compositor finds their icon and
    // name in the desktop entry of that name, whatever the program is called.
    setDesktopFileName(QStringLiteral("lumvane"));
    // The run ends with the main window, even while an owned window is open.
    setQuitOnLastWindowClosed(false);
}

CImageApp::~CImageApp()
{
    delete m_mainFrame;
}

CMainFrame* CImageApp::MainFrame() const
{
    return static_cast<CMainFrame*>(m_mainFrame.data());
}

bool CImageApp::InitInstance()
{
    // QApplication has taken its own options out of argv by now.
    m_settings.commandLineFile = ParseCommandLine(JoinArguments(m_argc, m_argv));

    auto* frame = new CMainFrame;
    if (!frame->Create(&m_settings)) {
        delete frame;
        return false;
    }
    // The window deletes itself once closed, and the run ends with it.
    frame->setAttribute(Qt::WA_DeleteOnClose);
    m_mainFrame = frame;
    connect(frame, &QObject::destroyed, this, &QCoreApplication::quit);
    frame->ShowAtStart();
    return true;
}
