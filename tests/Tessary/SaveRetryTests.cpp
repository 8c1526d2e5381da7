#include <gtest/gtest.h>

#include <system_error>

#include "Tessary/services/RuleService.h"
#include "Tessary/services/SaveRetry.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace tessary::testing;
using namespace std::chrono_literals;

namespace {

// The rules, saved into a folder that cannot be written until the test says so.
class SaveRetryTest : public ::testing::Test, public PlacementWorld {
protected:
    void addRule(const std::string& application) {
        rules.modifyRuleSet([&](RuleSet& set) {
            set.rules.push_back(PlacementRule(UUID::random(), true, application, {}, {}, {0}, Date(0)));
        });
    }
    std::vector<std::string> savedApplications() {
        std::vector<std::string> names;
        const auto saved = store<RuleSet>("rules.json").load();
        if (saved && saved.value()) {
            for (const PlacementRule& rule : saved.value()->rules) names.push_back(rule.bundleID);
        }
        return names;
    }

    RuleService rules{*zones, displaysReader(), store<RuleSet>("rules.json")};
    SaveRetry retry{rules.saveReport(), [this] { rules.saveAgain(); }, scheduler, Logger("Rules")};
};

}  // namespace

// A full disk or a read-only home: the rule the user added is written once the folder can be, by
// tries 1, 2, 4, 8 s apart, and nothing is scheduled once it is.
TEST_F(SaveRetryTest, AFailedSaveIsTriedAgainLessOftenUntilItWorks) {
    files->writeFault = std::make_error_code(std::errc::read_only_file_system);
    addRule("Mail");
    EXPECT_EQ(writes("rules.json"), 1);
    const struct {
        std::chrono::milliseconds wait;
        int writes;
    } steps[] = {{999ms, 1}, {1ms, 2}, {1999ms, 2}, {1ms, 3}, {4s, 4}, {8s, 5}};
    for (const auto& step : steps) {
        scheduler.advance(step.wait);
        EXPECT_EQ(writes("rules.json"), step.writes) << "after another " << step.wait.count() << " ms";
    }
    // Another change that fails meanwhile keeps the pace: the next try is still 16 s on.
    addRule("Editor");
    scheduler.advance(15s);
    EXPECT_EQ(writes("rules.json"), 6);

    files->writeFault = {};
    scheduler.advance(1s);
    EXPECT_EQ(savedApplications(), (std::vector<std::string>{"Mail", "Editor"}));
    EXPECT_FALSE(retry.isPending());
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "an idle program keeps no timer";
}

// Quitting tries once more at once; what still cannot be saved is logged once, with what is lost.
TEST_F(SaveRetryTest, AQuitTriesOnceMoreAndLogsWhatStaysUnsaved) {
    files->writeFault = std::make_error_code(std::errc::read_only_file_system);
    addRule("Mail");
    files->writeFault = {};
    EXPECT_TRUE(retry.flush());
    EXPECT_EQ(savedApplications(), std::vector<std::string>{"Mail"});

    files->writeFault = std::make_error_code(std::errc::no_space_on_device);
    addRule("Editor");
    EXPECT_FALSE(retry.flush());
    EXPECT_FALSE(retry.flush());
    const std::string unsaved = "Quitting with rules unsaved: The file \u201Crules.json\u201D could not be saved: "
                                "No space left on device. The changes made since it could not be saved are lost.";
    const auto logged = sink.messages("Rules");
    EXPECT_EQ(std::count(logged.begin(), logged.end(), unsaved), 1) << ::testing::PrintToString(logged);
}

// A file written by a newer version is refused for good: no try is scheduled for it.
TEST_F(SaveRetryTest, ARefusalNoTryCanChangeIsNotRetried) {
    writeFile(folder / "rules.json", "{\"version\": 99, \"rules\": []}");
    RuleService newer(*zones, displaysReader(), store<RuleSet>("rules.json"));
    SaveRetry newerRetry(newer.saveReport(), [&] { newer.saveAgain(); }, scheduler, Logger("Rules"));
    newer.modifyRuleSet([](RuleSet& set) { set.rules.clear(); });
    EXPECT_FALSE(newerRetry.isPending());
    EXPECT_EQ(readFile(folder / "rules.json"), "{\"version\": 99, \"rules\": []}");
}
