#include "Tessary/settings/ui/PercentSlider.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include <cmath>

#include "Tessary/settings/ZonesPaneModel.h"
#include "Tessary/settings/ui/SettingsForm.h"

namespace tessary {

namespace {
// The slider moves in whole percents: an arrow key, a wheel notch and the slider's own steps are
// one, Page Up and Page Down and a click on the track ten. A stored fraction between two sits at
// the nearest until the user moves the slider.
constexpr int steps = 100;
constexpr int pageStep = 10;
}  // namespace

PercentSlider::PercentSlider(const QString& title, QWidget* parent)
    : QWidget(parent), slider_(new QSlider(Qt::Horizontal, this)), label_(SettingsForm::plainLabel({}, this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    slider_->setRange(0, steps);
    slider_->setSingleStep(1);
    slider_->setPageStep(pageStep);
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
