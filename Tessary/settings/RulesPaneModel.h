#pragma once

// What the Rules pane and the rule editor say and do with one placement rule: its row summary,
// the zone toggling, the layout the zone picker shows, and edits written to the stored rule.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Tessary/services/RuleService.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/PlacementRule.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

// A zone index as the user counts it (index + 1), for any 64-bit index: indices come from
// hand-edited and synchronised documents, and the largest one has a successor only as unsigned.
std::string zoneNumberText(std::int64_t index);

// "zone 1+3 · title ~ Inbox · Studio Display": the zones in stored order, the pattern as stored
// when not empty, and the chosen display's name or "missing display".
std::string ruleSummary(const PlacementRule& rule, const std::vector<DisplayInfo>& displays);

// Adds the index and sorts, or removes every copy of it; the only zone is never removed.
std::vector<std::int64_t> toggledZones(std::vector<std::int64_t> zones, std::int64_t index);

// The layout the zone picker shows: the chosen display's, else the one with the most zones among
// the connected displays (the first on a tie), else the library's first; none without layouts.
std::optional<ZoneLayout> pickerLayout(const PlacementRule& rule, const std::vector<DisplayInfo>& displays,
                                       const LayoutLibrary& library);

// Applies one edit to the rule as the rule set holds it now, inside the service's mutation, and
// stamps it `now`: a change made meanwhile to another field (a merge) is kept. Nothing is written
// when the rule is gone (removed elsewhere, or by a merge); false then.
bool editRule(RuleService& rules, const UUID& id, Date now, const std::function<void(PlacementRule&)>& edit);

// The editor's message under an invalid pattern; empty for a valid one.
std::string patternMessage(std::string_view pattern);

}  // namespace tessary
