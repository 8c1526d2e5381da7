#include "Tessary/integrations/UpdaterController.h"

#include "Tessary/integrations/SparkleConfiguration.h"

namespace tessary {

// Scheduled checks stay quiet: what they find becomes the pending version, cleared when the user
// attends to it or the session ends.
class UpdaterController::GentleReminders final : public UpdateUserDriverDelegate {
public:
    explicit GentleReminders(std::function<void(std::optional<std::string>)> setPending)
        : setPending_(std::move(setPending)) {}

    bool supportsGentleScheduledUpdateReminders() const override { return true; }
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateItem&, bool) const override { return false; }
    void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate, const UpdateItem& update,
                                                   const UpdateUserState&) override {
        if (!handleShowingUpdate) setPending_(update.displayVersionString);
    }
    void standardUserDriverDidReceiveUserAttention(const UpdateItem&) override { setPending_(std::nullopt); }
    void standardUserDriverWillFinishUpdateSession() override { setPending_(std::nullopt); }

private:
    std::function<void(std::optional<std::string>)> setPending_;
};

namespace {

bool hasText(const json::Json& info, std::string_view key) {
    if (!info.is_object()) return false;
    const auto found = info.find(std::string(key));
    return found != info.end() && found->is_string() && !found->get_ref<const std::string&>().empty();
}

}  // namespace

UpdaterController::UpdaterController(const json::Json& info, UpdateBackend* backend) {
    if (!hasText(info, SparkleConfiguration::feedURLKey) || !hasText(info, SparkleConfiguration::publicEDKeyKey)) {
        log_.notice("Updates not configured (no feed URL / public key); update checks disabled");
        return;
    }
    if (!backend) {
        log_.notice("Updates configured, but this build has no update back end; update checks disabled");
        return;
    }
    reminders_ = std::make_unique<GentleReminders>([this](std::optional<std::string> version) {
        setPendingUpdate(std::move(version));
    });
    controller_ = backend->makeController(*reminders_);
    if (!controller_) {
        reminders_.reset();
        log_.error("The update back end made no controller; update checks disabled");
        return;
    }
    isConfigured_ = true;
}

UpdaterController::~UpdaterController() = default;

void UpdaterController::checkForUpdates() {
    if (controller_) controller_->checkForUpdates();
}

void UpdaterController::setPendingUpdate(std::optional<std::string> version) {
    log_.notice("pending update: " + version.value_or("none"));
    if (version == pendingUpdateVersion_) return;
    pendingUpdateVersion_ = std::move(version);
    if (onPendingUpdateChange) onPendingUpdateChange();
    changed_.emit();
}

}  // namespace tessary
