#include <gtest/gtest.h>

#include "Platform/Sim/RecordingLogSink.h"
#include "Tessary/integrations/SparkleConfiguration.h"
#include "Tessary/integrations/UpdaterController.h"

using namespace tessary;
using json::Json;

namespace {

// An update framework that records what it is asked and lets the test play its user driver.
class FakeUpdateBackend final : public UpdateBackend {
public:
    class Controller final : public UpdaterBackendController {
    public:
        explicit Controller(FakeUpdateBackend& backend) : backend_(backend) {}
        void checkForUpdates() override { ++backend_.checks; }
        bool automaticallyChecksForUpdates() const override { return true; }
        void setAutomaticallyChecksForUpdates(bool) override {}
        bool canCheckForUpdates() const override { return true; }

    private:
        FakeUpdateBackend& backend_;
    };

    std::unique_ptr<UpdaterBackendController> makeController(UpdateUserDriverDelegate& driverDelegate) override {
        delegate = &driverDelegate;
        return std::make_unique<Controller>(*this);
    }

    // A scheduled check found `version` and asks whether it should show it itself.
    void scheduledCheckFinds(const std::string& version) {
        const UpdateItem item{version};
        const bool handle = delegate->standardUserDriverShouldHandleShowingScheduledUpdate(item, true);
        delegate->standardUserDriverWillHandleShowingUpdate(handle, item, UpdateUserState{});
    }

    UpdateUserDriverDelegate* delegate = nullptr;
    int checks = 0;
};

Json configuration(Json feed, Json key) {
    Json info = Json::object();
    if (!feed.is_null()) info["SUFeedURL"] = std::move(feed);
    if (!key.is_null()) info["SUPublicEDKey"] = std::move(key);
    return info;
}

constexpr const char* notConfigured = "Updates not configured (no feed URL / public key); update checks disabled";

}  // namespace

TEST(UpdaterController, IsConfiguredOnlyByTwoNonEmptyTexts) {
    struct Case {
        const char* name;
        Json info;
        bool configured;
    };
    const Case cases[] = {
        {"both set", configuration("https://u.example/feed.xml", "key="), true},
        {"empty key", configuration("https://u.example/feed.xml", ""), false},
        {"empty feed", configuration("", "key="), false},
        {"key missing", configuration("https://u.example/feed.xml", nullptr), false},
        {"feed missing", configuration(nullptr, "key="), false},
        {"feed of another type", configuration(42, "key="), false},
        {"key of another type", configuration("https://u.example/feed.xml", Json::array({"key="})), false},
        {"not a dictionary", Json("SUFeedURL"), false},
        {"the build options, empty by default", SparkleConfiguration::fromBuildOptions(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLogSink sink;
        ScopedLogSink scoped(sink);
        FakeUpdateBackend backend;
        UpdaterController updater(c.info, &backend);
        EXPECT_EQ(updater.isConfigured(), c.configured);
        EXPECT_EQ(updater.controller() != nullptr, c.configured);
        EXPECT_EQ(backend.delegate != nullptr, c.configured);
        const std::vector<std::string> expectedLog =
            c.configured ? std::vector<std::string>{} : std::vector<std::string>{notConfigured};
        EXPECT_EQ(sink.messages("Updater"), expectedLog);
        updater.checkForUpdates();
        EXPECT_EQ(backend.checks, c.configured ? 1 : 0) << "the command is inert when not configured";
    }
}

TEST(UpdaterController, ConfiguredWithoutABackEndStaysInert) {
    RecordingLogSink sink;
    ScopedLogSink scoped(sink);
    UpdaterController updater(configuration("https://u.example/feed.xml", "key="), nullptr);
    EXPECT_FALSE(updater.isConfigured());
    updater.checkForUpdates();
}

TEST(UpdaterController, GentleRemindersKeepOnePendingVersion) {
    RecordingLogSink sink;
    ScopedLogSink scoped(sink);
    FakeUpdateBackend backend;
    UpdaterController updater(configuration("https://u.example/feed.xml", "key="), &backend);
    std::vector<std::optional<std::string>> heard;
    updater.onPendingUpdateChange = [&] { heard.push_back(updater.pendingUpdateVersion()); };
    UpdateUserDriverDelegate& driver = *backend.delegate;

    EXPECT_TRUE(driver.supportsGentleScheduledUpdateReminders());
    EXPECT_FALSE(driver.standardUserDriverShouldHandleShowingScheduledUpdate({"2.0"}, true));
    EXPECT_FALSE(driver.standardUserDriverShouldHandleShowingScheduledUpdate({"2.0"}, false));

    struct Step {
        const char* name;
        std::function<void()> act;
        std::optional<std::string> pending;
        std::size_t callbacks;
    };
    const Step steps[] = {
        {"a scheduled check finds 2.0", [&] { backend.scheduledCheckFinds("2.0"); }, "2.0", 1},
        {"the same version again fires nothing", [&] { backend.scheduledCheckFinds("2.0"); }, "2.0", 1},
        {"a different version fires", [&] { backend.scheduledCheckFinds("2.1"); }, "2.1", 2},
        {"the driver showing it itself changes nothing",
         [&] { driver.standardUserDriverWillHandleShowingUpdate(true, {"3.0"}, {true}); }, "2.1", 2},
        {"the user attends to it", [&] { driver.standardUserDriverDidReceiveUserAttention({"2.1"}); }, std::nullopt, 3},
        {"attention again fires nothing", [&] { driver.standardUserDriverDidReceiveUserAttention({"2.1"}); },
         std::nullopt, 3},
        {"found again", [&] { backend.scheduledCheckFinds("2.1"); }, "2.1", 4},
        {"the session ends", [&] { driver.standardUserDriverWillFinishUpdateSession(); }, std::nullopt, 5},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(updater.pendingUpdateVersion(), step.pending);
        EXPECT_EQ(heard.size(), step.callbacks);
    }
    EXPECT_EQ(sink.messages("Updater").front(), "pending update: 2.0");
    EXPECT_EQ(sink.messages("Updater").back(), "pending update: none");
}
