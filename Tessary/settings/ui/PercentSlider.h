#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QSlider;

namespace tessary {

// A slider over a fraction from 0 to 1 in whole percents (1 % by arrow key, wheel notch and click
// on the track, 10 % by Page Up and Page Down), with the value beside it in the user's locale
// ("50%", "50 %"). Dragging reports every step through `onChange`.
class PercentSlider final : public QWidget {
public:
    PercentSlider(const QString& title, QWidget* parent = nullptr);

    // Shows a value without reporting it.
    void setValue(double fraction);
    double value() const;
    QSlider* slider() const { return slider_; }
    QLabel* valueLabel() const { return label_; }

    std::function<void(double)> onChange;

private:
    void showText(double fraction);

    QSlider* slider_;
    QLabel* label_;
};

}  // namespace tessary
