#pragma once

#include "Platform/Signal.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

class QCheckBox;
class QComboBox;

namespace tessary {

// The drag keys (show zones, span) and the centring of windows that cannot fill their zone, with
// a reset of these three.
class SnappingSettingsView final : public SettingsPane {
public:
    explicit SnappingSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    std::optional<PrimaryActionTexts> primaryAction() const override;
    void triggerPrimaryAction() override;

private:
    void refresh();

    SettingsContext& context_;
    QComboBox* activation_ = nullptr;
    QComboBox* span_ = nullptr;
    QCheckBox* center_ = nullptr;
    Subscription subscription_;
};

}  // namespace tessary
