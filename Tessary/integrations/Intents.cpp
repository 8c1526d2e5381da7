#include "Tessary/integrations/Intents.h"

#include <limits>

#include "Tessary/integrations/IntentServices.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

IntentFailure failure(std::string_view english) { return IntentFailure{ZoneService::localized(english)}; }

constexpr std::string_view notRunning = "Tessary is not running.";
constexpr std::string_view layoutNotFound = "Layout not found.";
constexpr std::string_view displayNotFound = "Display not found.";
constexpr std::string_view workspaceNotFound = "Workspace not found.";

}  // namespace

std::string SnapFrontWindowIntent::summary(std::string_view zone) {
    return ZoneService::localized("Snap the front window to zone ") + std::string(zone);
}

IntentResult<> SnapFrontWindowIntent::perform() const {
    ZoneService* zones = IntentServices::zones;
    if (!zones) return unexpected(failure(notRunning));
    const auto window = zones->engine().focusedWindow();
    if (!window) return unexpected(IntentFailure{ZoneService::SnapError::noWindow().description()});
    // The service answers noSuchZone for a zone its layout lacks; the smallest number has no
    // index below it, so it stays where it is rather than wrap.
    const std::int64_t index = zone == std::numeric_limits<std::int64_t>::min() ? zone : zone - 1;
    const auto result = zones->snap(*window, index);
    if (!result) return unexpected(IntentFailure{result.error().description()});
    return {};
}

std::string ApplyLayoutIntent::summary(std::string_view layout, std::string_view display) {
    return ZoneService::localized("Apply ") + std::string(layout) + ZoneService::localized(" on ") + std::string(display);
}

IntentResult<> ApplyLayoutIntent::perform() const {
    ZoneService* zones = IntentServices::zones;
    if (!zones || !zones->library().layout(layout.id)) return unexpected(failure(layoutNotFound));
    std::vector<DisplayInfo> targets;
    for (const DisplayInfo& connected : DisplayProvider::displays()) {
        if (!display || connected.identifier == display->id) targets.push_back(connected);
    }
    if (targets.empty()) return unexpected(failure(displayNotFound));
    zones->updateLibrary([&](LayoutLibrary& library) {
        for (const DisplayInfo& target : targets) library.assign(layout.id, target.displayKey());
    });
    if (AppActions* actions = IntentServices::actions) actions->flashZones();
    // In place until Tessary quits, but not kept: the caller must not take that for done.
    if (zones->saveReport().failure()) return unexpected(IntentFailure{zones->saveReport().failureText()});
    return {};
}

std::string RestoreWorkspaceIntent::summary(std::string_view workspace) {
    return ZoneService::localized("Restore ") + std::string(workspace);
}

IntentResult<std::int64_t> RestoreWorkspaceIntent::perform() const {
    WorkspaceService* workspaces = IntentServices::workspaces;
    if (!workspaces) return unexpected(failure(workspaceNotFound));
    const auto found = workspaces->library().workspace(workspace.id);
    if (!found) return unexpected(failure(workspaceNotFound));
    return static_cast<std::int64_t>(workspaces->restore(*found));
}

std::string SaveWorkspaceIntent::summary(std::string_view name) {
    return ZoneService::localized("Save current windows as ") + std::string(name);
}

IntentResult<> SaveWorkspaceIntent::perform() const {
    WorkspaceService* workspaces = IntentServices::workspaces;
    if (!workspaces) return unexpected(failure(notRunning));
    if (const auto existing = workspaces->library().workspaceNamed(name)) {
        workspaces->updateWithCurrentWindows(existing->id);
    } else {
        workspaces->saveCurrentWindows(name);
        if (AppActions* actions = IntentServices::actions) actions->workspacesChanged();
    }
    // Listed until Tessary quits, then gone: a command that reported success would lose it silently.
    if (workspaces->saveReport().failure()) return unexpected(IntentFailure{workspaces->saveReport().failureText()});
    return {};
}

IntentResult<> RestoreWindowsToZonesIntent::perform() const {
    if (AppActions* actions = IntentServices::actions) actions->restoreAllWindows();
    return {};
}

IntentResult<> ApplyRulesIntent::perform() const {
    if (AppActions* actions = IntentServices::actions) actions->applyRules();
    return {};
}

IntentResult<> ShowZonesIntent::perform() const {
    if (AppActions* actions = IntentServices::actions) actions->flashZones();
    return {};
}

}  // namespace tessary
