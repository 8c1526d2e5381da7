#pragma once

// What the Rules pane and the rule editor show and do, over the rule service. Every edit is
// applied to the rule as the rule set holds it at that moment, inside the service's mutation, so
// a change made meanwhile (a merge, another edit) is never overwritten by a stale copy.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Tessary/settings/SettingsTag.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/PlacementRule.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

class RuleService;

// A zone index as the user counts it (index + 1). Indices come from hand-edited and synchronised
// documents as any 64-bit value, so the largest one still prints its successor.
std::string zoneNumberText(std::int64_t index);
// "1+3" for [0, 2], in stored order.
std::string zoneNumbersText(const std::vector<std::int64_t>& indices);

// The second line of a rule's row: "zone 1+3 · title ~ pattern · display".
std::string ruleSummary(const PlacementRule& rule, const std::vector<DisplayInfo>& displays);

// The zones after a click on `index`: removed when present and not the only one, else added and
// sorted.
std::vector<std::int64_t> toggledZones(std::vector<std::int64_t> zones, std::int64_t index);

// The layout whose zones the editor's picker shows for a rule's display choice.
std::optional<ZoneLayout> pickerLayout(const std::optional<std::string>& displayID,
                                       const std::vector<DisplayInfo>& displays, const LayoutLibrary& library);

// Adds a rule for the application (enabled, zone 1, the window's own display), tried last; its id.
UUID addRule(RuleService& rules, const std::string& bundleID);
// Applies `edit` to the stored rule with that id and stamps it; false (nothing saved) when the rule
// set no longer holds it.
bool editRule(RuleService& rules, const UUID& id, const std::function<void(PlacementRule&)>& edit);
void toggleZone(RuleService& rules, const UUID& id, std::int64_t index);
void moveRule(RuleService& rules, std::size_t from, std::size_t to);
void deleteRule(RuleService& rules, const UUID& id);
// The rule a selection names, when the rule set still holds it.
std::optional<PlacementRule> selectedRule(const RuleService& rules, const std::optional<UUID>& selection);

ConfirmationTexts removeRuleConfirmation(const std::string& appName);
inline const PrimaryActionTexts applyRulesAction{"Apply Rules Now", "Place every open window its rules apply to"};
inline constexpr const char* rulesSubtitle = "First match wins \u00b7 drag to reorder";

}  // namespace tessary
