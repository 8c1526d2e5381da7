#include "Tessary/settings/RulesPaneModel.h"
#include "TessaryCore/SyncMerge.h"

#include <algorithm>

namespace tessary {

std::string zoneNumberText(std::int64_t index) {
    if (index >= 0) return std::to_string(static_cast<std::uint64_t>(index) + 1);
    return std::to_string(index + 1);
}

std::string ruleSummary(const PlacementRule& rule, const std::vector<DisplayInfo>& displays) {
    std::string zones = "zone ";
    for (std::size_t i = 0; i < rule.zoneIndices.size(); ++i) {
        if (i) zones += "+";
        zones += zoneNumberText(rule.zoneIndices[i]);
    }
    std::string summary = zones;
    if (rule.titlePattern && !rule.titlePattern->empty()) summary += " \u00B7 title ~ " + *rule.titlePattern;
    if (rule.displayID) {
        const auto display = std::find_if(displays.begin(), displays.end(),
                                          [&](const DisplayInfo& d) { return d.identifier == *rule.displayID; });
        summary += " \u00B7 " + (display == displays.end() ? std::string("missing display") : display->localizedName);
    }
    return summary;
}

std::vector<std::int64_t> toggledZones(std::vector<std::int64_t> zones, std::int64_t index) {
    if (std::find(zones.begin(), zones.end(), index) != zones.end()) {
        if (zones.size() > 1) std::erase(zones, index);
        return zones;
    }
    zones.push_back(index);
    std::sort(zones.begin(), zones.end());
    return zones;
}

std::optional<ZoneLayout> pickerLayout(const PlacementRule& rule, const std::vector<DisplayInfo>& displays,
                                       const LayoutLibrary& library) {
    if (rule.displayID) {
        for (const DisplayInfo& display : displays) {
            if (display.identifier == *rule.displayID) return library.layout(display.displayKey());
        }
    }
    std::optional<ZoneLayout> largest;
    for (const DisplayInfo& display : displays) {
        auto layout = library.layout(display.displayKey());
        if (layout && (!largest || layout->zoneCount() > largest->zoneCount())) largest = std::move(layout);
    }
    if (largest) return largest;
    if (library.layouts.empty()) return std::nullopt;
    return library.layouts.front();
}

bool editRule(RuleService& rules, const UUID& id, Date now, const std::function<void(PlacementRule&)>& edit) {
    const auto& stored = rules.ruleSet().rules;
    if (std::none_of(stored.begin(), stored.end(), [&](const PlacementRule& rule) { return rule.id == id; })) {
        return false;
    }
    rules.modifyRuleSet([&](RuleSet& set) {
        for (PlacementRule& rule : set.rules) {
            if (rule.id != id) continue;
            edit(rule);
            rule.modifiedAt = SyncMerge::editStamp(rule.modifiedAt, now);
            return;
        }
    });
    return true;
}

std::string patternMessage(std::string_view pattern) {
    return PlacementRule::isValidPattern(pattern) ? std::string() : "Not a valid regular expression; the rule will not match.";
}

}  // namespace tessary
