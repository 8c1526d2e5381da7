#pragma once

#include <QWidget>

#include "Platform/Signal.h"
#include "Tessary/services/OverlayModel.h"

namespace tessary {

class Preferences;
class ZoneOverlayView;

// The real overlay view, drawing three sample zones with the second highlighted over a violet
// gradient, clipped to a rounded rectangle: what a drag will look like with the current settings.
class OverlayPreview final : public QWidget {
public:
    static constexpr int cornerRadius = 12;

    explicit OverlayPreview(Preferences& preferences, QWidget* parent = nullptr);

    // Lays the sample zones out for a preview of `size`; repeated at the same size it changes nothing.
    void layout(QSize size);
    const OverlayModel& model() const { return model_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    OverlayModel model_;
    ZoneOverlayView* view_;
    Subscription preferencesSubscription_;
};

}  // namespace tessary
