#include "windows/slide_show_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "report/string_table.h"

namespace {
constexpr int kMinDelay = 1;
constexpr int kMaxDelay = 10;
}  // namespace

CSlideShowDlg::CSlideShowDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Adjust Slide Show"));

    auto* delayBox = new QGroupBox(QStringLiteral("Delay"), this);
    m_slider = new QSlider(Qt::Horizontal, delayBox);
    m_slider->setRange(kMinDelay, kMaxDelay);
    m_slider->setTickPosition(QSlider::TicksAbove);
    m_slider->setTickInterval(1);
    m_slider->setPageStep(1);
    m_label = new QLabel(QStringLiteral("N seconds"), delayBox);
    auto* delayLayout = new QVBoxLayout(delayBox);
    delayLayout->addWidget(m_slider);
    delayLayout->addWidget(m_label);

    auto* sequenceBox = new QGroupBox(QStringLiteral("Sequence"), this);
    m_forward = new QRadioButton(QStringLiteral("Forward"), sequenceBox);
    m_backward = new QRadioButton(QStringLiteral("Backward"), sequenceBox);
    auto* sequenceLayout = new QVBoxLayout(sequenceBox);
    sequenceLayout->addWidget(m_forward);
    sequenceLayout->addWidget(m_backward);

    m_repeat = new QCheckBox(QStringLiteral("Repeat"), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSlideShowDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSlideShowDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(delayBox);
    layout->addWidget(sequenceBox);
    layout->addWidget(m_repeat);
    layout->addWidget(buttons);

    connect(m_slider, &QSlider::valueChanged, this, &CSlideShowDlg::UpdateLabel);
}

QString CSlideShowDlg::DelayText(int seconds)
{
    return QString::asprintf("%i ", seconds) + QString::fromUtf8(res::String(res::kStrSeconds));
}

void CSlideShowDlg::showEvent(QShowEvent* event)
{
    // The members are the caller's until the dialog first shows.
    if (!m_initialised) {
        m_initialised = true;
        MembersToControls();
    }
    QDialog::showEvent(event);
}

void CSlideShowDlg::accept()
{
    ControlsToMembers();
    QDialog::accept();
}

void CSlideShowDlg::MembersToControls()
{
    m_slider->setValue(delay);
    // Both radio buttons come from the members; the group keeps one checked.
    m_forward->setChecked(forward != 0);
    m_backward->setChecked(backward != 0);
    m_repeat->setChecked(repeat != 0);
    UpdateLabel();
}

void CSlideShowDlg::ControlsToMembers()
{
    delay = m_slider->value();
    forward = m_forward->isChecked() ? 1 : 0;
    backward = m_backward->isChecked() ? 1 : 0;
    repeat = m_repeat->isChecked() ? 1 : 0;
}

void CSlideShowDlg::UpdateLabel()
{
    m_label->setText(DelayText(m_slider->value()));
}
