#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "Platform/Logger.h"
#include "Tessary/services/DocumentTrouble.h"
#include "Tessary/services/SaveReport.h"
#include "Platform/Signal.h"
#include "Tessary/services/ZonePlacement.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/PlacementRule.h"
#include "TessaryCore/RuleSet.h"
#include "WindowEngine/DisplayInfo.h"
#include "WindowEngine/WindowEngine.h"
#include "WindowEngine/WindowInfo.h"

namespace tessary {

// Owns the placement rules ("rules.json", saved at once after every change) and moves windows into
// the zones of the first rule that matches them.
class RuleService {
public:
    using DisplaysReader = std::function<std::vector<DisplayInfo>()>;

    // Loads the rules; a missing or unusable file gives the empty rule set (what was wrong with it
    // is logged and kept in documentTrouble(), for the user to be told).
    RuleService(ZoneService& zones, DisplaysReader displays, JSONDocumentStore<RuleSet> store);
    RuleService(const RuleService&) = delete;
    RuleService& operator=(const RuleService&) = delete;

    const RuleSet& ruleSet() const { return ruleSet_; }
    const JSONDocumentStore<RuleSet>& store() const { return store_; }
    const std::optional<DocumentTrouble>& documentTrouble() const { return documentTrouble_; }
    // How the saves of the document fare: the cause of the last failure, and the notices to give.
    SaveReport& saveReport() { return saveReport_; }
    const SaveReport& saveReport() const { return saveReport_; }
    // Stores the rules without saving or telling onChanged; observers hear of it only when it differs.
    void setRuleSet(RuleSet ruleSet);
    // Called after every change of the rules (every saving operation, and a differing setRuleSet).
    [[nodiscard]] Subscription observe(std::function<void()> observer) { return changed_.subscribe(std::move(observer)); }
    // Changes the rules in place, saves them and calls onChanged (also when nothing changed or the
    // save failed).
    void modifyRuleSet(const std::function<void(RuleSet&)>& change);
    // Replaces the rules wholesale (a synchronised copy), saves them and calls onChanged.
    void replaceRuleSet(RuleSet ruleSet);
    // Saves the rules as they are (a save that failed, tried again); observers hear only of what a
    // merge with another instance's file brought.
    void saveAgain();
    // Takes in what another instance of the program (another display of the user's) wrote to
    // "rules.json", merged with these rules; saves nothing.
    void takeOutsideChanges();

    // Places one window by the first rule that matches it; where it went, or nothing.
    std::optional<ZonePlacement> applyRules(const WindowHandle& window);
    // Places every listed window that has a matching rule; the number placed, counting windows
    // already in their rule's zones.
    int applyAll();

    // Called after every save; set by synchronisation.
    std::function<void()> onChanged;

private:
    bool isCandidate(const WindowInfo& info) const;
    // The first rule for the window; logs each pattern that timed out, once.
    std::optional<PlacementRule> firstMatch(const WindowInfo& info) const;
    std::optional<ZonePlacement> place(const WindowHandle& window, const WindowInfo& info, const PlacementRule& rule);
    void save();

    ZoneService& zones_;
    WindowEngine& engine_;
    DisplaysReader displays_;
    JSONDocumentStore<RuleSet> store_;
    std::optional<DocumentTrouble> documentTrouble_;
    SaveReport saveReport_{"rules", "could not save rules: "};
    RuleSet ruleSet_;
    Signal<> changed_;
    Logger log{"Rules"};
};

}  // namespace tessary
