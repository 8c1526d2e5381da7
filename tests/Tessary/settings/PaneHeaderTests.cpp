#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;

namespace {

class PaneHeaderTest : public ::testing::Test, public PlacementWorld {
protected:
    PaneHeaderTest() {
        qttest::qtApplication();
        AccessibilityPermission::setAccessibility(&accessibility);
        context.rules = &rules;
        context.zones = zones.get();
    }
    ~PaneHeaderTest() override {
        window.reset();
        AccessibilityPermission::setAccessibility(nullptr);
    }

    // What the window's header shows: the subtitle and the primary action, "" for a hidden one.
    std::pair<QString, QString> header() const {
        QCoreApplication::processEvents();
        const auto* subtitle = window->findChild<QLabel*>("paneSubtitle");
        const auto* action = window->findChild<QPushButton*>("primaryAction");
        return {subtitle->isVisibleTo(window.get()) ? subtitle->text() : QString(),
                action->isVisibleTo(window.get()) ? action->text() : QString()};
    }

    SimAccessibility accessibility;
    MemoryLoginItems loginItems;
    MemoryUserDefaults defaults;
    AppState state{loginItems, scheduler};
    Preferences preferences{defaults};
    AppActions actions;
    SettingsSelection selection{state};
    RuleService rules{*zones, displaysReader(), store<RuleSet>("rules.json")};
    SettingsContext context{state, preferences, actions, selection, nullptr, {}, nullptr, {}, std::nullopt};
    std::unique_ptr<SettingsWindow> window;
};

}  // namespace

TEST_F(PaneHeaderTest, TheRulesSubtitleAndApplyRulesNowComeWithTheFirstRuleAndGoWithTheLast) {
    window = std::make_unique<SettingsWindow>(context);
    window->show();
    selection.select(SettingsSection::rules);
    const std::pair<QString, QString> empty{QString(), QString()};
    const std::pair<QString, QString> listed{QStringLiteral("First match wins \u00b7 drag to reorder"),
                                             QStringLiteral("Apply Rules Now")};
    struct Row {
        const char* name;
        std::function<void()> change;
        std::pair<QString, QString> shown;
    };
    const Row rows[] = {
        {"no rules", [] {}, empty},
        {"the first rule, added elsewhere", [&] { rules.modifyRuleSet([](RuleSet& set) {
             set.upsert(PlacementRule(UUID::random(), true, "XTerm", std::nullopt, std::nullopt, {0}, Date(0)));
         }); }, listed},
        {"the last rule removed", [&] { rules.modifyRuleSet([](RuleSet& set) { set.deleteRule(set.rules[0].id); }); },
         empty},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.change();
        EXPECT_EQ(header(), row.shown);
    }
}
