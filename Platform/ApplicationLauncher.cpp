#include "Platform/ApplicationLauncher.h"

namespace tessary {

std::vector<InstalledApplication> ApplicationLauncher::withRunningIdentifiers(
    const ApplicationIndex& index, const std::vector<std::string>& runningIdentifiers) {
    std::vector<InstalledApplication> listed = index.entries();
    std::vector<bool> renamed(listed.size(), false);
    for (const std::string& running : runningIdentifiers) {
        const InstalledApplication* named = index.entryNamed(running);
        if (!named || (named->startupWMClass && !named->startupWMClass->empty())) continue;
        const auto position = static_cast<std::size_t>(named - index.entries().data());
        // The first one stays: another process of the application says the same.
        if (renamed[position]) continue;
        renamed[position] = true;
        listed[position].bundleIdentifier = running;
    }
    return listed;
}

}  // namespace tessary
