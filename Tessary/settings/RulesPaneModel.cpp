#include "Tessary/settings/RulesPaneModel.h"

#include <algorithm>

#include "Tessary/services/RuleService.h"

namespace tessary {

std::string zoneNumberText(std::int64_t index) {
    if (index >= 0) return std::to_string(static_cast<std::uint64_t>(index) + 1);
    return std::to_string(index + 1);
}

std::string zoneNumbersText(const std::vector<std::int64_t>& indices) {
    std::string text;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i > 0) text += "+";
        text += zoneNumberText(indices[i]);
    }
    return text;
}

std::string ruleSummary(const PlacementRule& rule, const std::vector<DisplayInfo>& displays) {
    std::string summary = "zone " + zoneNumbersText(rule.zoneIndices);
    if (rule.titlePattern && !rule.titlePattern->empty()) summary += " \u00b7 title ~ " + *rule.titlePattern;
    if (rule.displayID) {
        auto display = std::find_if(displays.begin(), displays.end(),
                                    [&](const DisplayInfo& d) { return d.identifier == *rule.displayID; });
        summary += " \u00b7 " + (display != displays.end() ? display->localizedName : std::string("missing display"));
    }
    return summary;
}

std::vector<std::int64_t> toggledZones(std::vector<std::int64_t> zones, std::int64_t index) {
    if (std::find(zones.begin(), zones.end(), index) != zones.end()) {
        // A rule always keeps at least one zone.
        if (zones.size() == 1) return zones;
        zones.erase(std::remove(zones.begin(), zones.end(), index), zones.end());
        return zones;
    }
    zones.push_back(index);
    std::sort(zones.begin(), zones.end());
    return zones;
}

std::optional<ZoneLayout> pickerLayout(const std::optional<std::string>& displayID,
                                       const std::vector<DisplayInfo>& displays, const LayoutLibrary& library) {
    if (displayID) {
        for (const DisplayInfo& display : displays) {
            if (display.identifier == *displayID) return library.layout(display.displayKey());
        }
    }
    std::optional<ZoneLayout> largest;
    for (const DisplayInfo& display : displays) {
        auto layout = library.layout(display.displayKey());
        if (layout && (!largest || layout->zoneCount() > largest->zoneCount())) largest = std::move(layout);
    }
    if (largest) return largest;
    if (!library.layouts.empty()) return library.layouts.front();
    return std::nullopt;
}

UUID addRule(RuleService& rules, const std::string& bundleID) {
    PlacementRule rule(UUID::random(), true, bundleID, std::nullopt, std::nullopt, {0}, Date::now().roundedToMilliseconds());
    rules.modifyRuleSet([&](RuleSet& set) { set.upsert(rule); });
    return rule.id;
}

bool editRule(RuleService& rules, const UUID& id, const std::function<void(PlacementRule&)>& edit) {
    const auto& held = rules.ruleSet().rules;
    if (std::none_of(held.begin(), held.end(), [&](const PlacementRule& rule) { return rule.id == id; })) return false;
    rules.modifyRuleSet([&](RuleSet& set) {
        for (PlacementRule& rule : set.rules) {
            if (rule.id != id) continue;
            edit(rule);
            rule.modifiedAt = Date::now();
            return;
        }
    });
    return true;
}

void toggleZone(RuleService& rules, const UUID& id, std::int64_t index) {
    editRule(rules, id, [index](PlacementRule& rule) { rule.zoneIndices = toggledZones(rule.zoneIndices, index); });
}

void moveRule(RuleService& rules, std::size_t from, std::size_t to) {
    rules.modifyRuleSet([&](RuleSet& set) { set.move({from}, to); });
}

void deleteRule(RuleService& rules, const UUID& id) {
    rules.modifyRuleSet([&](RuleSet& set) { set.deleteRule(id); });
}

std::optional<PlacementRule> selectedRule(const RuleService& rules, const std::optional<UUID>& selection) {
    if (!selection) return std::nullopt;
    for (const PlacementRule& rule : rules.ruleSet().rules) {
        if (rule.id == *selection) return rule;
    }
    return std::nullopt;
}

ConfirmationTexts removeRuleConfirmation(const std::string& appName) {
    return {"Remove the rule for " + appName + "?", "This cannot be undone.", "Remove"};
}

}  // namespace tessary
