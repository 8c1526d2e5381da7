#pragma once

// The placement rules in priority order with their deletion tombstones: the content of "rules.json"
// and of the synchronised value "rules.v1".

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "TessaryCore/Date.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/PlacementRule.h"
#include "TessaryCore/SyncMerge.h"
#include "TessaryCore/UUID.h"

namespace tessary {

struct RuleSet {
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;
    // The first rule that matches a window wins.
    std::vector<PlacementRule> rules;
    Tombstones deletedRules;

    // The first rule in list order that matches; a rule whose pattern does not compile is passed over.
    std::optional<PlacementRule> firstMatch(std::string_view bundleID, const std::optional<std::string>& title) const;
    // The same, each rule's application judged by `isApplication` (PlacementRule::matches).
    std::optional<PlacementRule> firstMatch(const std::function<bool(std::string_view)>& isApplication,
                                            const std::optional<std::string>& title) const;
    // Replaces the first rule with the same identifier in its place, or appends the rule.
    void upsert(const PlacementRule& rule);
    // Removes every rule with the identifier and writes its tombstone (also for an unknown identifier);
    // by value, as deleteLayout.
    void deleteRule(UUID id, Date now = Date::now());
    // Reorders as a list's drag-to-reorder does: the rules at the source positions (in ascending
    // order) go before the rule that was at the destination. Positions outside the list are ignored
    // and a destination past the end appends.
    void move(const std::set<std::size_t>& fromOffsets, std::size_t toOffset);

    json::Json toJSON() const;
    static RuleSet fromJSON(const json::Json& value);

    friend bool operator==(const RuleSet&, const RuleSet&) = default;
};

namespace SyncMerge {
// The local version and the generic merge of the rules: local priorities first, then the rules only
// the remote copy has.
RuleSet mergeRules(const RuleSet& local, const RuleSet& remote);
}  // namespace SyncMerge

}  // namespace tessary
