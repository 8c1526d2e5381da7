#include <gtest/gtest.h>

#include "Platform/Sim/SimApplicationLauncher.h"
#include "Tessary/services/RuleService.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

PlacementRule rule(std::string bundleID, std::vector<std::int64_t> zones, std::optional<std::string> displayID = std::nullopt,
                   std::optional<std::string> pattern = std::nullopt, bool enabled = true) {
    return PlacementRule(UUID::random(), enabled, std::move(bundleID), std::move(pattern), std::move(displayID),
                         std::move(zones), Date(0));
}

class RuleServiceTest : public ::testing::Test, public PlacementWorld {
protected:
    std::unique_ptr<RuleService> makeRules() {
        return std::make_unique<RuleService>(*zones, displaysReader(), store<RuleSet>("rules.json"));
    }
    void setRules(std::vector<PlacementRule> list) {
        service->setRuleSet(RuleSet{});
        service->modifyRuleSet([&](RuleSet& set) { set.rules = std::move(list); });
    }

    std::unique_ptr<RuleService> service = makeRules();
};

}  // namespace

TEST_F(RuleServiceTest, OnlyTheFirstEnabledMatchingRuleCounts) {
    const WindowHandle inbox = engine.addWindow("Mail", 1, "Inbox (3)", Rect(10, 10, 300, 300));
    const WindowHandle draft = engine.addWindow("Mail", 1, "Draft", Rect(10, 10, 300, 300));
    setRules({rule("Mail", {3}, std::nullopt, std::nullopt, false), rule("mail", {2}), rule("Mail", {1}, std::nullopt, "inbox"),
              rule("Mail", {0})});
    EXPECT_EQ(service->applyRules(inbox), (ZonePlacement{main, {1}}));
    EXPECT_EQ(service->applyRules(draft), (ZonePlacement{main, {0}}));
    EXPECT_EQ(snaps, (std::vector<Snap>{{inbox, "MAIN", {1}}, {draft, "MAIN", {0}}}));

    // The first match names only zones that do not exist: nothing, and no later rule is tried.
    setRules({rule("Mail", {7, 9}), rule("Mail", {2})});
    engine.windowTable.at(inbox).info.frame = Rect(10, 10, 300, 300);
    EXPECT_EQ(service->applyRules(inbox), std::nullopt);
    EXPECT_EQ(frameOf(inbox), Rect(10, 10, 300, 300));
}

// A rule made from the installed list names the entry's id, which is not its windows' class.
TEST_F(RuleServiceTest, ARuleNamesItsApplicationByEitherFormOfItsIdentifier) {
    SimApplicationLauncher launcher;
    launcher.install(desktopEntry("org.xfce.mousepad", "Mousepad", "mousepad"));
    launcher.install(desktopEntry("org.gnome.Calculator", "Calculator", "gnome-calculator"));
    zones->applications = [&launcher] { return launcher.applicationIndex(); };
    const WindowHandle editor = engine.addWindow("Mousepad", 1, "notes.txt", Rect(10, 10, 300, 300));
    const WindowHandle calculator = engine.addWindow("gnome-calculator", 2, "Calculator", Rect(10, 10, 300, 300));
    const WindowHandle other = engine.addWindow("Ledger", 3, "Accounts", Rect(10, 10, 300, 300));

    setRules({rule("org.xfce.mousepad", {1}), rule("org.gnome.Calculator", {2}, std::nullopt, "calc")});
    EXPECT_EQ(service->applyRules(editor), (ZonePlacement{main, {1}}));
    EXPECT_EQ(service->applyRules(calculator), (ZonePlacement{main, {2}}));
    EXPECT_EQ(service->applyRules(other), std::nullopt);
    // A rule stored under the class, as before, matches as before.
    setRules({rule("gnome-calculator", {3})});
    EXPECT_EQ(service->applyRules(calculator), (ZonePlacement{main, {3}}));
    EXPECT_EQ(service->applyRules(editor), std::nullopt);
}

TEST_F(RuleServiceTest, TheTargetDisplayIsTheRulesOrTheOneHoldingMostOfTheWindow) {
    const WindowHandle window = engine.addWindow("Mail", 1, "x", Rect(900, 10, 500, 300));  // mostly on the side display
    setRules({rule("Mail", {1, 7})});
    EXPECT_EQ(service->applyRules(window), (ZonePlacement{side, {1}}));
    EXPECT_EQ(frameOf(window), sideZone(1));

    setRules({rule("Mail", {0, 2}, "MAIN")});
    EXPECT_EQ(service->applyRules(window), (ZonePlacement{main, {0, 2}}));
    EXPECT_EQ(frameOf(window), Rect(0, 0, 500, 800));

    // A display that is not connected places nothing, not even on the window's own display.
    setRules({rule("Mail", {3}, "UNPLUGGED")});
    EXPECT_EQ(service->applyRules(window), std::nullopt);
    EXPECT_EQ(frameOf(window), Rect(0, 0, 500, 800));
}

TEST_F(RuleServiceTest, LeavesAloneWhatTheFilterExcludesButNotMinimisedWindows) {
    const WindowHandle excluded = engine.addWindow("Mail", 1, "x", Rect(10, 10, 300, 300));
    const WindowHandle minimised = engine.addWindow("Notes", 2, "y", Rect(10, 10, 300, 300));
    const WindowHandle dialog = engine.addWindow("Notes", 2, "z", Rect(10, 10, 300, 300));
    const WindowHandle anonymous = engine.addWindow(std::nullopt, 3, "w", Rect(10, 10, 300, 300));
    engine.windowTable.at(minimised).info.isMinimized = true;
    engine.windowTable.at(dialog).info.isStandard = false;
    zones->isExcluded = [](const WindowInfo& info) { return !info.isStandard || info.bundleIdentifier == "Mail"; };
    setRules({rule("Mail", {0}), rule("Notes", {1}), rule("", {2})});
    EXPECT_EQ(service->applyRules(excluded), std::nullopt);
    EXPECT_EQ(service->applyRules(dialog), std::nullopt);
    EXPECT_EQ(service->applyRules(anonymous), std::nullopt);
    EXPECT_EQ(service->applyRules(minimised), (ZonePlacement{main, {1}}));
}

TEST_F(RuleServiceTest, ApplyAllCountsWindowsAlreadyInPlaceWithoutReportingThem) {
    const WindowHandle placed = engine.addWindow("Mail", 1, "a", mainZone(2));
    const WindowHandle moved = engine.addWindow("Notes", 2, "b", Rect(10, 10, 300, 300));
    engine.addWindow("Player", 3, "c", Rect(10, 10, 300, 300));  // no rule
    const WindowHandle stubborn = engine.addWindow("Paint", 4, "d", Rect(10, 10, 300, 300), Size{900, 900});
    setRules({rule("Mail", {2}), rule("Notes", {3}), rule("Paint", {0})});
    EXPECT_EQ(service->applyAll(), 2);
    EXPECT_EQ(frameOf(moved), mainZone(3));
    EXPECT_EQ(snaps, (std::vector<Snap>{{moved, "MAIN", {3}}}));
    EXPECT_EQ(std::count_if(engine.setFrameCalls.begin(), engine.setFrameCalls.end(),
                            [&](const auto& call) { return call.window == placed; }),
              0);
    EXPECT_NE(frameOf(stubborn), mainZone(0));
    EXPECT_EQ(sink.messages("Rules"), std::vector<std::string>{"applyAll placed 2 windows"});
}

TEST_F(RuleServiceTest, EveryChangeIsSavedAtOnceAndReported) {
    int changes = 0;
    int observed = 0;
    service->onChanged = [&] { ++changes; };
    const Subscription subscription = service->observe([&] { ++observed; });
    service->modifyRuleSet([](RuleSet&) {});
    EXPECT_EQ(writes("rules.json"), 1);
    EXPECT_EQ(changes, 1);

    RuleSet synchronised;
    synchronised.rules = {rule("Mail", {1})};
    service->replaceRuleSet(synchronised);
    EXPECT_EQ(writes("rules.json"), 2);
    EXPECT_EQ(makeRules()->ruleSet(), synchronised);

    // A failed save keeps the change and still reports it.
    files->writeFault = std::make_error_code(std::errc::no_space_on_device);
    service->modifyRuleSet([](RuleSet& set) { set.rules.clear(); });
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(service->ruleSet().rules.empty());
    ASSERT_EQ(sink.messages("Rules").size(), 1u);
    EXPECT_TRUE(sink.messages("Rules")[0].starts_with("could not save rules: "));

    // setRuleSet stores only, and tells observers only of a different rule set.
    EXPECT_EQ(observed, 3);
    service->setRuleSet(synchronised);
    service->setRuleSet(synchronised);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(observed, 4);
}

TEST_F(RuleServiceTest, ARunawayPatternIsLoggedOnceAndTheNextRuleStillPlaces) {
    const std::string title = std::string(30000, 'b') + "!";
    const WindowHandle first = engine.addWindow("Mail", 1, title, Rect(10, 10, 300, 300));
    const WindowHandle second = engine.addWindow("Mail", 1, title, Rect(10, 10, 300, 300));
    setRules({rule("Mail", {3}, std::nullopt, "(b+)+$"), rule("Mail", {1})});
    EXPECT_EQ(service->applyAll(), 2);
    EXPECT_EQ(frameOf(first), mainZone(1));
    EXPECT_EQ(frameOf(second), mainZone(1));
    EXPECT_EQ(sink.messages("Rules"), (std::vector<std::string>{"pattern timed out: (b+)+$", "applyAll placed 2 windows"}));
}
