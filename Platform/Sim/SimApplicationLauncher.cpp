#include "Platform/Sim/SimApplicationLauncher.h"

namespace tessary {

void SimApplicationLauncher::install(const std::string& bundleIdentifier, std::string name) {
    InstalledApplication application;
    application.bundleIdentifier = bundleIdentifier;
    application.name = name.empty() ? bundleIdentifier : std::move(name);
    application.location = "/sim/applications/" + bundleIdentifier + ".desktop";
    installed_[bundleIdentifier] = std::move(application);
}

std::optional<InstalledApplication> SimApplicationLauncher::application(const std::string& bundleIdentifier) const {
    auto found = installed_.find(bundleIdentifier);
    if (found == installed_.end()) return std::nullopt;
    return found->second;
}

bool SimApplicationLauncher::launch(const std::string& bundleIdentifier) {
    launches_.push_back(bundleIdentifier);
    if (!installed_.contains(bundleIdentifier)) return false;
    if (onLaunch) onLaunch(bundleIdentifier);
    return true;
}

std::vector<InstalledApplication> SimApplicationLauncher::installedApplications(const std::vector<std::string>&) const {
    std::vector<InstalledApplication> all;
    for (const auto& [identifier, application] : installed_) all.push_back(application);
    return all;
}

}  // namespace tessary
