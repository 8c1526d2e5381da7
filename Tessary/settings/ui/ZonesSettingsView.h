#pragma once

#include "Platform/Signal.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

class QCheckBox;
class QColorDialog;
class QPushButton;

namespace tessary {

class OverlayPreview;
class PercentSlider;

// The overlay's look: colour, the two opacities, numbers and the flash, with a live preview and a
// reset of exactly these five settings.
class ZonesSettingsView final : public SettingsPane {
public:
    explicit ZonesSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    std::optional<PrimaryActionTexts> primaryAction() const override;
    void triggerPrimaryAction() override;

    OverlayPreview* preview() const { return preview_; }
    // The colour dialog while it is open.
    QColorDialog* colorDialog() const;

private:
    void refresh();
    void chooseColor();

    SettingsContext& context_;
    QPushButton* color_ = nullptr;
    PercentSlider* zoneOpacity_ = nullptr;
    PercentSlider* highlightOpacity_ = nullptr;
    QCheckBox* numbers_ = nullptr;
    QCheckBox* flash_ = nullptr;
    OverlayPreview* preview_ = nullptr;
    Subscription subscription_;
};

}  // namespace tessary
