#pragma once

// The program's side of update checks. Configured only when the configuration holds a non-empty
// text under both keys of SparkleConfiguration and a back end exists; otherwise it logs once and
// every update control stays hidden or inert for the life of the process (the shipped state).
//
// Configured, it hands the back end its reminders: scheduled checks never put up the back end's
// own window; an update they find becomes `pendingUpdateVersion` (the status menu's dot) until
// the user attends to it or the update session ends. Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Logger.h"
#include "Platform/Signal.h"
#include "Tessary/integrations/UpdateBackend.h"
#include "TessaryCore/JSONCoding.h"

namespace tessary {

class UpdaterController final {
public:
    // `info` is the update configuration (SparkleConfiguration::fromBuildOptions() in the
    // program); `backend` may be null (no update framework in this build).
    UpdaterController(const json::Json& info, UpdateBackend* backend);
    ~UpdaterController();
    UpdaterController(const UpdaterController&) = delete;
    UpdaterController& operator=(const UpdaterController&) = delete;

    bool isConfigured() const { return isConfigured_; }
    const std::optional<std::string>& pendingUpdateVersion() const { return pendingUpdateVersion_; }
    // Null when not configured.
    UpdaterBackendController* controller() const { return controller_.get(); }
    // The delegate handed to the back end; null when not configured.
    UpdateUserDriverDelegate* reminders() const { return reminders_.get(); }

    // The check-for-updates command: asks the controller; nothing when there is none.
    void checkForUpdates();

    // Called after `pendingUpdateVersion` changed to a different value.
    std::function<void()> onPendingUpdateChange;
    // Views: told after any observed value changed.
    [[nodiscard]] Subscription observe(std::function<void()> observer) { return changed_.subscribe(std::move(observer)); }

private:
    class GentleReminders;
    void setPendingUpdate(std::optional<std::string> version);

    Logger log_{"Updater"};
    Signal<> changed_;
    bool isConfigured_ = false;
    std::optional<std::string> pendingUpdateVersion_;
    // Declared before the controller, which asks it, so that it is destroyed after it.
    std::unique_ptr<UpdateUserDriverDelegate> reminders_;
    std::unique_ptr<UpdaterBackendController> controller_;
};

}  // namespace tessary
