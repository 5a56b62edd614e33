#pragma once
// The "Adjust Slide Show" dialog: the delay (1 to 10 seconds) on a slider with
// its "N seconds" label, the direction (Forward or Backward) and Repeat.
//
// The caller sets the four members before exec() and reads them back after
// it returns Accepted. User-interface thread only.

#include <QDialog>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSlider;

class CSlideShowDlg : public QDialog {
    Q_OBJECT

public:
    explicit CSlideShowDlg(QWidget* parent = nullptr);

    int delay = 1;
    int forward = 1;
    int backward = 0;
    int repeat = 0;

    // The controls, for tests.
    QSlider* DelaySlider() const { return m_slider; }
    QLabel* DelayLabel() const { return m_label; }
    QRadioButton* ForwardButton() const { return m_forward; }
    QRadioButton* BackwardButton() const { return m_backward; }
    QCheckBox* RepeatBox() const { return m_repeat; }

    // The label text for a slider position: "%i " and "seconds".
    static QString DelayText(int seconds);

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void MembersToControls();
    void ControlsToMembers();
    void UpdateLabel();

    QSlider* m_slider = nullptr;
    QLabel* m_label = nullptr;
    QRadioButton* m_forward = nullptr;
    QRadioButton* m_backward = nullptr;
    QCheckBox* m_repeat = nullptr;
    bool m_initialised = false;
};
