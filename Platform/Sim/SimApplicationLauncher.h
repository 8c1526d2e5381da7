#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ApplicationLauncher.h"

namespace tessary {

// Installed applications set by the test; launches are recorded, and a test may react to them
// (open the application's windows, say). Identifiers name applications as ApplicationIndex says.
class SimApplicationLauncher : public ApplicationLauncher {
public:
    // Installs an application under its identifier (named after it unless a name is given).
    void install(const std::string& bundleIdentifier, std::string name = {});
    // Installs an application described as a desktop entry describes it (its id, StartupWMClass
    // and program), stored under its bundleIdentifier.
    void install(InstalledApplication application);
    void uninstall(const std::string& bundleIdentifier);

    std::optional<InstalledApplication> application(const std::string& bundleIdentifier) const override;
    // The installed applications, in identifier order.
    std::shared_ptr<const ApplicationIndex> applicationIndex() const override;
    // Records the request; true for an installed application, after calling onLaunch with the
    // identifier asked for.
    bool launch(const std::string& bundleIdentifier) override;
    std::vector<InstalledApplication> installedApplications(
        const std::vector<std::string>& runningIdentifiers = {}) const override;

    // Every launch request, installed or not, in order.
    const std::vector<std::string>& launches() const { return launches_; }
    // Called for every successful launch, before launch() returns.
    std::function<void(const std::string& bundleIdentifier)> onLaunch;

private:
    std::map<std::string, InstalledApplication> installed_;
    mutable std::shared_ptr<const ApplicationIndex> index_;
    std::vector<std::string> launches_;
};

}  // namespace tessary
