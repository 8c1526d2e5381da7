#include "TessaryCore/RuleSet.h"

#include <algorithm>
#include <iterator>

namespace tessary {

std::optional<PlacementRule> RuleSet::firstMatch(std::string_view bundleID,
                                                 const std::optional<std::string>& title) const {
    for (const PlacementRule& rule : rules) {
        if (rule.matches(bundleID, title)) return rule;
    }
    return std::nullopt;
}

std::optional<PlacementRule> RuleSet::firstMatch(const std::function<bool(std::string_view)>& isApplication,
                                                 const std::optional<std::string>& title) const {
    for (const PlacementRule& rule : rules) {
        if (rule.matches(isApplication, title)) return rule;
    }
    return std::nullopt;
}

void RuleSet::upsert(const PlacementRule& rule) {
    const auto it = std::find_if(rules.begin(), rules.end(), [&](const PlacementRule& r) { return r.id == rule.id; });
    if (it != rules.end()) {
        *it = rule;
    } else {
        rules.push_back(rule);
    }
}

void RuleSet::deleteRule(UUID id, Date now) {
    const auto it = std::find_if(rules.begin(), rules.end(), [&](const PlacementRule& r) { return r.id == id; });
    const std::optional<Date> modifiedAt = it != rules.end() ? std::optional<Date>(it->modifiedAt) : std::nullopt;
    std::erase_if(rules, [&](const PlacementRule& r) { return r.id == id; });
    deletedRules[id.uuidString()] = SyncMerge::tombstone(modifiedAt, now);
}

void RuleSet::move(const std::set<std::size_t>& fromOffsets, std::size_t toOffset) {
    std::vector<PlacementRule> moved;
    std::vector<PlacementRule> rest;
    std::size_t before = 0;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (fromOffsets.count(i)) {
            moved.push_back(std::move(rules[i]));
            if (i < toOffset) ++before;
        } else {
            rest.push_back(std::move(rules[i]));
        }
    }
    const std::size_t at = std::min(toOffset - before, rest.size());
    rest.insert(rest.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(moved.begin()),
                std::make_move_iterator(moved.end()));
    rules = std::move(rest);
}

json::Json RuleSet::toJSON() const {
    return json::Json{
        {"version", version}, {"rules", json::encodeArray(rules)}, {"deletedRules", encodeTombstones(deletedRules)}};
}

RuleSet RuleSet::fromJSON(const json::Json& value) {
    RuleSet set;
    set.version = json::requireInt64(value, "version");
    set.rules = json::requireArray<PlacementRule>(value, "rules");
    set.deletedRules = decodeTombstones(value, "deletedRules");
    return set;
}

RuleSet SyncMerge::mergeRules(const RuleSet& local, const RuleSet& remote) {
    auto merged = merge(local.rules, local.deletedRules, remote.rules, remote.deletedRules);
    RuleSet result;
    result.version = local.version;
    result.rules = std::move(merged.items);
    result.deletedRules = std::move(merged.tombstones);
    return result;
}

}  // namespace tessary
