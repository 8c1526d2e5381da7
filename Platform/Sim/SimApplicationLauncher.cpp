#include "Platform/Sim/SimApplicationLauncher.h"

namespace tessary {

void SimApplicationLauncher::install(const std::string& bundleIdentifier, std::string name) {
    InstalledApplication application;
    application.bundleIdentifier = bundleIdentifier;
    application.name = name.empty() ? bundleIdentifier : std::move(name);
    application.location = "/sim/applications/" + bundleIdentifier + ".desktop";
    install(std::move(application));
}

void SimApplicationLauncher::install(InstalledApplication application) {
    std::string identifier = application.bundleIdentifier;
    installed_[identifier] = std::move(application);
    index_.reset();
}

void SimApplicationLauncher::uninstall(const std::string& bundleIdentifier) {
    installed_.erase(bundleIdentifier);
    index_.reset();
}

std::shared_ptr<const ApplicationIndex> SimApplicationLauncher::applicationIndex() const {
    if (!index_) {
        std::vector<InstalledApplication> all;
        for (const auto& [identifier, application] : installed_) all.push_back(application);
        index_ = std::make_shared<const ApplicationIndex>(std::move(all));
    }
    return index_;
}

std::optional<InstalledApplication> SimApplicationLauncher::application(const std::string& bundleIdentifier) const {
    const InstalledApplication* named = applicationIndex()->entryNamed(bundleIdentifier);
    if (!named) return std::nullopt;
    InstalledApplication found = *named;
    found.bundleIdentifier = bundleIdentifier;
    return found;
}

bool SimApplicationLauncher::launch(const std::string& bundleIdentifier) {
    launches_.push_back(bundleIdentifier);
    if (!applicationIndex()->entryNamed(bundleIdentifier)) return false;
    if (onLaunch) onLaunch(bundleIdentifier);
    return true;
}

std::vector<InstalledApplication> SimApplicationLauncher::installedApplications(
    const std::vector<std::string>& runningIdentifiers) const {
    return withRunningIdentifiers(*applicationIndex(), runningIdentifiers);
}

}  // namespace tessary
