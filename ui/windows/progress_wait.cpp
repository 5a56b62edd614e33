#include "windows/progress_wait.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include "report/string_table.h"

CProgressWait::CProgressWait(QWidget* owner) : m_owner(owner) {}

CProgressWait::~CProgressWait()
{
    delete m_dialog;
}

void CProgressWait::Run(const Work& work)
{
    QEventLoop loop;
    m_loop = &loop;
    m_finished = work.finished;
    // A short job ends before anything shows; meanwhile input waits.
    QTimer::singleShot(kDelayMs, &loop, &QEventLoop::quit);
    if (!work.finished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!work.finished()) {
        ShowDialog(work);
        while (!work.finished())
            loop.exec();
        delete m_dialog;
        m_dialog = nullptr;
    }
    m_loop = nullptr;
    m_finished = nullptr;
}

void CProgressWait::Wake()
{
    if (m_loop && m_finished())
        m_loop->quit();
}

void CProgressWait::ShowDialog(const Work& work)
{
    m_dialog = new QProgressDialog(m_owner);
    m_dialog->setWindowTitle(QString::fromUtf8(res::String(res::kStrAppTitle)));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setRange(0, kSteps);
    connect(m_dialog, &QProgressDialog::canceled, this, work.cancel);
    auto* tick = new QTimer(m_dialog);
    connect(tick, &QTimer::timeout, this, [this, &work] { Update(work); });
    tick->start(kTickMs);
    Update(work);
    m_dialog->show();
    emit Shown();
}

void CProgressWait::Update(const Work& work)
{
    if (m_dialog && !m_dialog->wasCanceled())
        work.update(*m_dialog);
}
