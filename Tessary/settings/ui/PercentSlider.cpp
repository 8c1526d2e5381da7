#include "Tessary/settings/ui/PercentSlider.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>

#include <cmath>

#include "Tessary/settings/ZonesPaneModel.h"
#include "Tessary/settings/ui/SettingsForm.h"

namespace tessary {

namespace {

constexpr int steps = 100;
constexpr int pageKeyStep = 10;

// Moves in whole percents: an arrow key, a wheel notch and a click on the track one percent (the
// slider's page step, which the track and the wheel use, is one too), Page Up and Page Down ten.
// A stored fraction between two sits at the nearest until the user moves the slider.
class PercentSteps final : public QSlider {
public:
    explicit PercentSteps(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
        setRange(0, steps);
        setSingleStep(1);
        setPageStep(1);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
            setValue(value() + (event->key() == Qt::Key_PageUp ? pageKeyStep : -pageKeyStep));
            event->accept();
            return;
        }
        QSlider::keyPressEvent(event);
    }
};

}  // namespace

PercentSlider::PercentSlider(const QString& title, QWidget* parent)
    : QWidget(parent), slider_(new PercentSteps(this)), label_(SettingsForm::plainLabel({}, this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    slider_->setAccessibleName(title);
    slider_->setMinimumWidth(120);
    slider_->setMaximumWidth(220);
    label_->setMinimumWidth(40);
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label_->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(slider_);
    row->addWidget(label_);
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        const double fraction = static_cast<double>(position) / steps;
        showText(fraction);
        if (onChange) onChange(fraction);
    });
}

void PercentSlider::setValue(double fraction) {
    const QSignalBlocker blocker(slider_);
    slider_->setValue(static_cast<int>(std::lround(fraction * steps)));
    showText(fraction);
}

double PercentSlider::value() const { return static_cast<double>(slider_->value()) / steps; }

void PercentSlider::showText(double fraction) { label_->setText(QString::fromStdString(percentText(fraction))); }

}  // namespace tessary
