#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Platform/ApplicationLauncher.h"

namespace tessary {

// Installed applications set by the test; launches are recorded, and a test may react to them
// (open the application's windows, say).
class SimApplicationLauncher : public ApplicationLauncher {
public:
    // Installs an application under its identifier (named after it unless a name is given).
    void install(const std::string& bundleIdentifier, std::string name = {});
    void uninstall(const std::string& bundleIdentifier) { installed_.erase(bundleIdentifier); }

    std::optional<InstalledApplication> application(const std::string& bundleIdentifier) const override;
    // Records the request; true for an installed application, after calling onLaunch with it.
    bool launch(const std::string& bundleIdentifier) override;
    // Every installed application, by identifier.
    std::vector<InstalledApplication> installedApplications(
        const std::vector<std::string>& runningIdentifiers = {}) const override;

    // Every launch request, installed or not, in order.
    const std::vector<std::string>& launches() const { return launches_; }
    // Called for every successful launch, before launch() returns.
    std::function<void(const std::string& bundleIdentifier)> onLaunch;

private:
    std::map<std::string, InstalledApplication> installed_;
    std::vector<std::string> launches_;
};

}  // namespace tessary
