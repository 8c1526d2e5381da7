#include "Tessary/integrations/ui/SyncTestVerb.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "Platform/InstanceMessage.h"
#include "Tessary/integrations/CloudSync.h"
#include "Tessary/integrations/CommandLineVerbs.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/shell/ui/AppDelegate.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/RuleSet.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

namespace {

const std::string usage = "usage: tessary sync-test add-layout NAME | add-rule APP | delete-rule APP | state";

InstanceReply addLayout(ZoneService& zones, const std::string& name) {
    ZoneLayout layout(LayoutTemplate::columns, 3, name);
    layout.setModifiedAt(Date::now());
    zones.updateLibrary([&](LayoutLibrary& library) { library.upsert(layout); });
    return {layout.id.uuidString(), 0};
}

InstanceReply addRule(RuleService& rules, const std::string& application) {
    const PlacementRule rule(UUID::random(), true, application, std::nullopt, std::nullopt, {0}, Date::now());
    rules.modifyRuleSet([&](RuleSet& set) { set.upsert(rule); });
    return {rule.id.uuidString(), 0};
}

InstanceReply deleteRules(RuleService& rules, const std::string& application) {
    std::vector<UUID> doomed;
    for (const PlacementRule& rule : rules.ruleSet().rules) {
        if (rule.bundleID == application) doomed.push_back(rule.id);
    }
    // Nothing to delete is no change: nothing is saved and nothing is uploaded.
    if (!doomed.empty()) {
        rules.modifyRuleSet([&](RuleSet& set) {
            for (const UUID& id : doomed) set.deleteRule(id);
        });
    }
    return {std::to_string(doomed.size()), 0};
}

InstanceReply state(const CloudSync* sync) {
    if (!sync) return {"not started\t-\t-", 0};
    const auto lastSync = sync->lastSync() ? sync->lastSync()->iso8601() : std::nullopt;
    return {std::string(sync->started() ? "started" : "not started") + '\t' + lastSync.value_or("-") + '\t' +
                sync->lastError().value_or("-"),
            0};
}

}  // namespace

bool SyncTestVerb::isWanted() {
    const char* value = std::getenv("TESSARY_E2E");
    return value && std::string_view(value) == "1";
}

void SyncTestVerb::install(AppDelegate& delegate, std::function<const CloudSync*()> sync) {
    delegate.hooks().commandLineVerbs[std::string(name)] =
        [&delegate, sync = std::move(sync)](const std::vector<std::string>& arguments) -> InstanceReply {
        const std::string what = arguments.empty() ? "" : arguments.front();
        if (what == "state" && arguments.size() == 1) return state(sync ? sync() : nullptr);
        if (arguments.size() != 2 || arguments[1].empty()) return {usage, CommandLineVerbs::usageStatus};
        if (what == "add-layout") return addLayout(delegate.zones(), arguments[1]);
        if (what == "add-rule") return addRule(delegate.rules(), arguments[1]);
        if (what == "delete-rule") return deleteRules(delegate.rules(), arguments[1]);
        return {usage, CommandLineVerbs::usageStatus};
    };
}

}  // namespace tessary
