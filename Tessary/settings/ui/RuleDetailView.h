#pragma once

#include <QWidget>

#include <optional>
#include <vector>

#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "TessaryCore/PlacementRule.h"
#include "TessaryCore/ZoneLayout.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessary {

class ZonePickerThumbnail;

// The editor of one rule beside the rule list: the switch, the title pattern with its message,
// the display and the zones. It keeps no copy to write back: each edit changes one field of the
// rule as the rule set holds it, and an edit of a rule that is gone is dropped.
class RuleDetailView final : public QWidget {
public:
    RuleDetailView(SettingsContext& context, const AppInfo& apps, const PlacementRule& rule, QWidget* parent = nullptr);

    const UUID& ruleID() const { return id_; }
    // Shows the rule as stored now; the pattern field keeps its cursor when its text is unchanged.
    void show(const PlacementRule& rule);

    QCheckBox* enabledToggle() const { return enabled_; }
    QLineEdit* patternField() const { return pattern_; }
    QLabel* patternMessage() const { return patternMessage_; }
    QComboBox* displayPicker() const { return display_; }
    // One per zone of the picker's layout; none with "No layout".
    const std::vector<QPushButton*>& zoneToggles() const { return zoneToggles_; }
    ZonePickerThumbnail* zonePicker() const { return picker_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void edit(const std::function<void(PlacementRule&)>& change);
    void showZones(const PlacementRule& rule);

    SettingsContext& context_;
    UUID id_;
    QCheckBox* enabled_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    QLabel* patternMessage_ = nullptr;
    QComboBox* display_ = nullptr;
    QBoxLayout* zoneArea_ = nullptr;
    QWidget* zoneControls_ = nullptr;
    ZonePickerThumbnail* picker_ = nullptr;
    std::vector<QPushButton*> zoneToggles_;
    std::optional<ZoneLayout> shownLayout_;
};

}  // namespace tessary
