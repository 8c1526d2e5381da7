#include "Tessary/services/RuleService.h"

#include <string>

#include "TessaryCore/HomeMerge.h"
#include "TessaryCore/TitlePattern.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

RuleService::RuleService(ZoneService& zones, DisplaysReader displays, JSONDocumentStore<RuleSet> store)
    : zones_(zones), engine_(zones.engine()), displays_(std::move(displays)), store_(std::move(store)) {
    store_.mergeOutsideChanges(HomeMerge::rules);
    documentTrouble_ = loadDocument(store_, ruleSet_, log, ZoneService::localized("no rules"));
}

void RuleService::setRuleSet(RuleSet ruleSet) {
    if (ruleSet == ruleSet_) return;
    ruleSet_ = std::move(ruleSet);
    changed_.emit();
}

void RuleService::modifyRuleSet(const std::function<void(RuleSet&)>& change) {
    change(ruleSet_);
    save();
}

void RuleService::replaceRuleSet(RuleSet ruleSet) {
    ruleSet_ = std::move(ruleSet);
    save();
}

void RuleService::save() {
    changed_.emit();
    saveAgain();
    if (onChanged) onChanged();
}

void RuleService::saveAgain() {
    // What another instance saved came in with this save.
    if (saveReport_.save(store_, ruleSet_, log)) changed_.emit();
}

void RuleService::takeOutsideChanges() {
    if (auto merged = store_.outsideChange(ruleSet_)) setRuleSet(std::move(*merged));
}

// Standard, not left alone by the window filter, with an application. Minimised windows count.
bool RuleService::isCandidate(const WindowInfo& info) const {
    if (!info.isStandard) return false;
    if (zones_.isExcluded && zones_.isExcluded(info)) return false;
    return info.bundleIdentifier.has_value();
}

std::optional<PlacementRule> RuleService::firstMatch(const WindowInfo& info) const {
    auto rule = ruleSet_.firstMatch(zones_.applicationTest(info), info.title);
    for (const std::string& pattern : TitlePattern::takeTimedOutPatterns()) log.error("pattern timed out: " + pattern);
    return rule;
}

std::optional<ZonePlacement> RuleService::applyRules(const WindowHandle& window) {
    const auto info = engine_.info(window);
    if (!info || !isCandidate(*info)) return std::nullopt;
    const auto rule = firstMatch(*info);
    if (!rule) return std::nullopt;
    return place(window, *info, *rule);
}

int RuleService::applyAll() {
    int placed = 0;
    for (const WindowHandle& window : engine_.allWindows()) {
        const auto info = engine_.info(window);
        if (!info || !isCandidate(*info)) continue;
        const auto rule = firstMatch(*info);
        if (!rule) continue;
        if (place(window, *info, *rule)) ++placed;
    }
    log.notice("applyAll placed " + std::to_string(placed) + " windows");
    return placed;
}

std::optional<ZonePlacement> RuleService::place(const WindowHandle& window, const WindowInfo& info,
                                                const PlacementRule& rule) {
    const std::vector<DisplayInfo> displays = displays_();
    std::optional<DisplayInfo> display;
    if (rule.displayID) {
        // A display that is not connected places nothing: the window does not go elsewhere.
        for (const DisplayInfo& candidate : displays) {
            if (candidate.identifier == *rule.displayID) {
                display = candidate;
                break;
            }
        }
    } else {
        display = DisplayProvider::display(info.frame, displays);
    }
    if (!display) return std::nullopt;

    const std::vector<Zone> zones = zones_.zones(*display);
    const SpanSelection selection = selectionOfExistingZones(rule.zoneIndices, zones);
    const auto target = selection.unionRect(zones);
    if (!target) return std::nullopt;
    ZonePlacement placement{*display, selection.zoneIndices};
    if (engine_.isInPlace(window, info.frame, *target)) return placement;

    const SetFrameResult result = engine_.setFrame(*target, window);
    if (!result.succeeded()) {
        return std::nullopt;
    }
    if (zones_.onSnapped) zones_.onSnapped(window, placement.display, placement.zoneIndices);
    return placement;
}

}  // namespace tessary
