#include "Tessary/settings/AppInfo.h"

#include <algorithm>
#include <set>

#include "TessaryCore/UnicodeText.h"

namespace tessary {

namespace {

std::string foldedASCII(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

AppInfo::AppInfo(const std::vector<RunningApplication>& running, std::vector<InstalledApplication> installed)
    : installed_(std::move(installed)) {
    std::stable_sort(installed_.begin(), installed_.end(), [](const auto& a, const auto& b) {
        return localizedCaseInsensitiveLess(a.name, b.name);
    });
    for (std::size_t i = 0; i < installed_.size(); ++i) {
        byIdentifier_.emplace(installed_[i].bundleIdentifier, i);
        byFoldedIdentifier_.emplace(foldedASCII(installed_[i].bundleIdentifier), i);
    }
    std::set<std::string> seen;
    for (const RunningApplication& application : running) {
        if (application.isTerminated || application.activationPolicy != ActivationPolicy::regular) continue;
        if (!application.bundleIdentifier || application.bundleIdentifier->empty()) continue;
        if (!seen.insert(*application.bundleIdentifier).second) continue;
        running_.push_back({*application.bundleIdentifier, appDisplayName(*application.bundleIdentifier)});
    }
    std::stable_sort(running_.begin(), running_.end(),
                     [](const RunningApp& a, const RunningApp& b) { return localizedCaseInsensitiveLess(a.name, b.name); });
}

AppInfo AppInfo::build(const ApplicationWorkspace* workspace, const ApplicationLauncher* launcher) {
    std::vector<RunningApplication> running;
    if (workspace) running = workspace->runningApplications();
    std::vector<InstalledApplication> installed;
    if (launcher) {
        std::vector<std::string> identifiers;
        for (const RunningApplication& application : running) {
            if (application.bundleIdentifier) identifiers.push_back(*application.bundleIdentifier);
        }
        installed = launcher->installedApplications(identifiers);
    }
    return AppInfo(running, std::move(installed));
}

const InstalledApplication* AppInfo::find(const std::string& bundleID) const {
    if (auto exact = byIdentifier_.find(bundleID); exact != byIdentifier_.end()) return &installed_[exact->second];
    if (auto folded = byFoldedIdentifier_.find(foldedASCII(bundleID)); folded != byFoldedIdentifier_.end()) {
        return &installed_[folded->second];
    }
    return nullptr;
}

std::string AppInfo::appDisplayName(const std::string& bundleID) const {
    const InstalledApplication* application = find(bundleID);
    return application && !application->name.empty() ? application->name : bundleID;
}

std::optional<std::string> AppInfo::icon(const std::string& bundleID) const {
    const InstalledApplication* application = find(bundleID);
    return application ? application->icon : std::nullopt;
}

}  // namespace tessary
