#pragma once

// What the program asks of an update framework: a controller that checks for updates on request
// and on its own schedule, and the questions its user driver puts to the program about updates
// that scheduled checks find. The program supplies the answers (UpdaterController's reminders);
// a back end supplies the controller. No back end ever installs anything: distributions update
// the package.

#include <memory>
#include <string>

namespace tessary {

// An update the framework found.
struct UpdateItem {
    std::string displayVersionString;
};

// Where the user driver stands with an update when it asks.
struct UpdateUserState {
    bool userInitiated = false;
};

// The user driver's delegate: answers and notices of the framework's standard user interface.
class UpdateUserDriverDelegate {
public:
    virtual ~UpdateUserDriverDelegate() = default;
    virtual bool supportsGentleScheduledUpdateReminders() const = 0;
    // Whether the user driver shows a scheduled update by itself.
    virtual bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateItem& update,
                                                                      bool immediateFocus) const = 0;
    virtual void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate, const UpdateItem& update,
                                                           const UpdateUserState& state) = 0;
    virtual void standardUserDriverDidReceiveUserAttention(const UpdateItem& update) = 0;
    virtual void standardUserDriverWillFinishUpdateSession() = 0;
};

// The framework's standard updater controller.
class UpdaterBackendController {
public:
    virtual ~UpdaterBackendController() = default;
    virtual void checkForUpdates() = 0;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool value) = 0;
    virtual bool canCheckForUpdates() const = 0;
};

class UpdateBackend {
public:
    virtual ~UpdateBackend() = default;
    // A started controller whose user driver asks `delegate`; the delegate outlives it.
    virtual std::unique_ptr<UpdaterBackendController> makeController(UpdateUserDriverDelegate& delegate) = 0;
};

}  // namespace tessary
