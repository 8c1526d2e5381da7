#pragma once

#include <QWidget>

#include <vector>

#include "Tessary/settings/ui/SettingsContext.h"
#include "TessaryCore/UUID.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace tessary {

class AppInfo;
struct PlacementRule;

// The editor of one rule: on or off, the title pattern with its message, the display, and the
// zones. It keeps no copy: each edit is applied to the rule as the rule set holds it, changing
// only its field; an edit of a rule removed meanwhile is dropped.
class RuleDetailView final : public QWidget {
public:
    RuleDetailView(SettingsContext& context, const AppInfo& info, UUID rule, QWidget* parent = nullptr);

    const UUID& ruleID() const { return rule_; }
    // Shows the stored rule again (after any change of the rule set).
    void refresh();

private:
    const PlacementRule* stored() const;
    void edit(const std::function<void(PlacementRule&)>& change);
    void toggleZone(std::int64_t index);
    void rebuildZones();

    SettingsContext& context_;
    UUID rule_;
    QCheckBox* enabled_ = nullptr;
    QLineEdit* pattern_ = nullptr;
    QLabel* patternMessage_ = nullptr;
    QComboBox* display_ = nullptr;
    QWidget* zoneArea_ = nullptr;
    QVBoxLayout* zoneColumn_ = nullptr;
    std::vector<QPushButton*> zoneToggles_;
};

}  // namespace tessary
