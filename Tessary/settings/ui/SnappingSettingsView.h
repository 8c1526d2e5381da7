#pragma once

#include <string>

#include "Platform/Signal.h"
#include "Tessary/services/DragKeys.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace tessary {

// The drag keys (show zones, span) and the centring of windows that cannot fill their zone, with
// a reset of these three. A key chosen for one drag key that the other held moves the other, and a
// line under the pickers says where. The footer names a drag key the window manager takes, and the
// reset gives the keys a first start beside it chooses (both read when the pane is built).
class SnappingSettingsView final : public SettingsPane {
public:
    explicit SnappingSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    std::optional<PrimaryActionTexts> primaryAction() const override;
    void triggerPrimaryAction() override;

private:
    void refresh();
    // The sentence that says which key moved; hidden when empty.
    void showMove(const std::string& sentence);

    SettingsContext& context_;
    QComboBox* activation_ = nullptr;
    QComboBox* span_ = nullptr;
    QCheckBox* center_ = nullptr;
    QLabel* moved_ = nullptr;
    DragKeys defaults_;
    Subscription subscription_;
};

}  // namespace tessary
