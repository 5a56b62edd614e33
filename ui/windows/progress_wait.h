#pragma once
// CProgressWait: the window's side of work that runs on another thread. It
// waits in an event loop, so the window keeps painting and its timers run;
// for the first half second the user's input waits in the queue (it is
// delivered afterwards), so that nothing can start a second operation or
// close the window meanwhile, and a short job ends with nothing shown. After
// that a window-modal progress dialog with Cancel comes up.
//
// Ownership: made by a runner for its Run; owns the dialog while it is up.
// Thread rules: user-interface thread only; the worker's news reaches Wake
// as a queued call.

#include <QObject>
#include <QPointer>

#include <functional>

class QEventLoop;
class QProgressDialog;
class QWidget;

class CProgressWait : public QObject {
    Q_OBJECT

public:
    static constexpr int kDelayMs = 500;
    static constexpr int kTickMs = 100;
    static constexpr int kSteps = 1000;  // the dialog's range

    struct Work {
        std::function<bool()> finished;
        std::function<void()> cancel;  // the dialog's Cancel
        // Sets the dialog's label and value (0 to kSteps); at every tick.
        std::function<void(QProgressDialog& dialog)> update;
    };

    explicit CProgressWait(QWidget* owner);
    ~CProgressWait() override;

    // Returns once work.finished() holds, as seen by a call of Wake.
    void Run(const Work& work);
    // The worker has news: the wait ends if the work has finished.
    void Wake();
    // The progress dialog while it is shown, else null.
    QProgressDialog* Dialog() const { return m_dialog; }

signals:
    // The progress dialog came up.
    void Shown();

private:
    void ShowDialog(const Work& work);
    void Update(const Work& work);

    QPointer<QWidget> m_owner;
    std::function<bool()> m_finished;  // during Run
    QEventLoop* m_loop = nullptr;      // during Run
    QProgressDialog* m_dialog = nullptr;
};
