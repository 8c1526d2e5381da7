#include "Tessary/services/WorkspaceService.h"

#include "TessaryCore/HomeMerge.h"

#include <algorithm>
#include <set>

#include "Tessary/services/ZonePlacement.h"
#include "TessaryCore/Date.h"
#include "TessaryCore/UnicodeText.h"
#include "TessaryCore/SyncMerge.h"
#include "TessaryCore/WorkspaceMatcher.h"
#include "WindowEngine/CoordinateSpace.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

bool liesInside(const Rect& inner, const Rect& outer) {
    const Rect a = inner.standardized();
    const Rect b = outer.standardized();
    return a.minX() >= b.minX() && a.minY() >= b.minY() && a.maxX() <= b.maxX() && a.maxY() <= b.maxY();
}

}  // namespace

WorkspaceService::WorkspaceService(ZoneService& zones, DisplaysReader displays, JSONDocumentStore<WorkspaceLibrary> store,
                                   ApplicationWorkspace& applications, ApplicationLauncher& launcher, Scheduler& scheduler)
    : launcher([&launcher](const std::string& bundleIdentifier) { return launcher.launch(bundleIdentifier); }),
      zones_(zones),
      engine_(zones.engine()),
      displays_(std::move(displays)),
      store_(std::move(store)),
      applications_(applications),
      scheduler_(scheduler) {
    store_.mergeOutsideChanges(HomeMerge::workspaces);
    documentTrouble_ = loadDocument(store_, library_, log, ZoneService::localized("no workspaces"));
}

WorkspaceService::~WorkspaceService() { scheduler_.cancel(pendingExpiry_); }

void WorkspaceService::setLibrary(WorkspaceLibrary library) {
    if (library == library_) return;
    library_ = std::move(library);
    changed_.emit();
}

void WorkspaceService::updateLibrary(const std::function<void(WorkspaceLibrary&)>& change) {
    change(library_);
    save();
}

void WorkspaceService::replaceLibrary(WorkspaceLibrary library) {
    library_ = std::move(library);
    save();
}

void WorkspaceService::save() {
    changed_.emit();
    saveAgain();
    if (onChanged) onChanged();
}

void WorkspaceService::saveAgain() {
    // What another instance saved came in with this save.
    if (saveReport_.save(store_, library_, log)) changed_.emit();
}

void WorkspaceService::takeOutsideChanges() {
    if (auto merged = store_.outsideChange(library_)) setLibrary(std::move(*merged));
}

std::set<std::string> WorkspaceService::currentDisplayIdentifiers() {
    std::set<std::string> identifiers;
    for (const DisplayInfo& display : displays_()) identifiers.insert(display.identifier);
    return identifiers;
}

std::vector<WorkspaceEntry> WorkspaceService::captureCurrentWindows() {
    const std::vector<DisplayInfo> displays = displays_();
    std::vector<WorkspaceEntry> entries;
    for (const WindowHandle& window : engine_.allWindows()) {
        if (ownProcess && window.pid == *ownProcess) continue;
        const auto info = engine_.info(window);
        if (!info || !info->isStandard || info->isMinimized) continue;
        if (zones_.isExcluded && zones_.isExcluded(*info)) continue;
        if (!info->bundleIdentifier) continue;
        const auto display = DisplayProvider::display(info->frame, displays);
        if (!display) continue;
        entries.emplace_back(UUID::random(), *info->bundleIdentifier, info->title, display->displayKey().description(),
                             zoneIndices(window, info->frame, zones_.zones(*display)), info->frame);
    }
    return entries;
}

std::vector<std::int64_t> WorkspaceService::zoneIndices(const Rect& frame, const std::vector<Zone>& zones) {
    for (const Zone& zone : zones) {
        if (CoordinateSpace::approximatelyEqual(zone.rect, frame, zoneTolerance)) return {zone.index};
    }
    const Rect grown = frame.standardized().insetBy(-zoneTolerance, -zoneTolerance);
    SpanSelection inside;
    for (const Zone& zone : zones) {
        if (liesInside(zone.rect, grown)) inside.insert(zone.index);
    }
    if (inside.zoneIndices.size() >= 2) {
        const auto united = inside.unionRect(zones);
        if (united && CoordinateSpace::approximatelyEqual(*united, frame, zoneTolerance)) return inside.zoneIndices;
    }
    return {};
}

std::vector<std::int64_t> WorkspaceService::zoneIndices(const WindowHandle& window, const Rect& frame,
                                                       const std::vector<Zone>& zones) {
    if (auto filled = zoneIndices(frame, zones); !filled.empty()) return filled;
    for (const Zone& zone : zones) {
        if (engine_.isInPlace(window, frame, zone.rect)) return {zone.index};
    }
    // A span: the zones whose centres the frame covers, when it has taken their union.
    SpanSelection covered;
    for (const Zone& zone : zones) {
        if (frame.standardized().contains(Point{zone.rect.midX(), zone.rect.midY()})) covered.insert(zone.index);
    }
    if (covered.zoneIndices.size() >= 2) {
        const auto united = covered.unionRect(zones);
        if (united && engine_.isInPlace(window, frame, *united)) return covered.zoneIndices;
    }
    return {};
}

Workspace WorkspaceService::saveCurrentWindows(const std::string& name) {
    Workspace workspace(UUID::random(), name, captureCurrentWindows(), currentDisplayIdentifiers(), false, false,
                        Date::now());
    updateLibrary([&](WorkspaceLibrary& library) { library.upsert(workspace); });
    return workspace;
}

std::optional<Workspace> WorkspaceService::updateWithCurrentWindows(const UUID& id) {
    auto workspace = library_.workspace(id);
    if (!workspace) return std::nullopt;
    workspace->entries = captureCurrentWindows();
    workspace->displayIdentifiers = currentDisplayIdentifiers();
    workspace->modifiedAt = SyncMerge::editStamp(workspace->modifiedAt, Date::now());
    updateLibrary([&](WorkspaceLibrary& library) { library.upsert(*workspace); });
    return workspace;
}

int WorkspaceService::restore(const Workspace& workspace) {
    using Candidate = WorkspaceMatcher::Candidate<WindowHandle>;
    std::vector<Candidate> candidates;
    // Beside each candidate, whether a saved identifier names its application.
    std::vector<std::function<bool(std::string_view)>> namesApplication;
    for (const WindowHandle& window : engine_.allWindows()) {
        const auto info = engine_.info(window);
        if (!info || !info->isStandard || !info->bundleIdentifier) continue;
        candidates.emplace_back(window, *info->bundleIdentifier, info->title);
        namesApplication.push_back(zones_.applicationTest(*info));
    }
    const auto pairs = WorkspaceMatcher::match(workspace.entries, candidates,
                                               [&](const WorkspaceEntry& entry, const Candidate& window) {
                                                   return namesApplication[std::size_t(&window - candidates.data())](entry.bundleID);
                                               });

    int moved = 0;
    for (const auto& pair : pairs) {
        if (apply(pair.entry, pair.windowID)) ++moved;
    }

    if (workspace.launchesMissingApps) {
        std::vector<WorkspaceEntry> unmatched;
        for (const WorkspaceEntry& entry : workspace.entries) {
            const bool paired = std::any_of(pairs.begin(), pairs.end(), [&](const auto& pair) { return pair.entry.id == entry.id; });
            if (!paired) unmatched.push_back(entry);
        }
        launchMissingApps(unmatched);
    }

    log.notice("restored " + workspace.name + ": " + std::to_string(moved) + " windows moved");
    return moved;
}

bool WorkspaceService::apply(const WorkspaceEntry& entry, const WindowHandle& window) {
    std::optional<DisplayInfo> display;
    for (DisplayInfo& candidate : displays_()) {
        if (candidate.displayKey().description() == entry.displayKey) {
            display = std::move(candidate);
            break;
        }
    }
    if (!display) return false;

    Rect target = entry.frame;
    std::vector<std::int64_t> zoneNumbers;
    if (!entry.zoneIndices.empty()) {
        const std::vector<Zone> zones = zones_.zones(*display);
        const SpanSelection selection = selectionOfExistingZones(entry.zoneIndices, zones);
        if (const auto united = selection.unionRect(zones)) {
            target = *united;
            zoneNumbers = selection.zoneIndices;
        }
    }

    if (const auto current = engine_.frame(window); current && engine_.isInPlace(window, *current, target)) {
        return false;
    }
    const SetFrameResult result = engine_.setFrame(target, window);
    if (!result.achieved) return false;
    const bool took = result.succeeded();
    if (took && !zoneNumbers.empty() && zones_.onSnapped) zones_.onSnapped(window, *display, zoneNumbers);
    return took;
}

void WorkspaceService::launchMissingApps(const std::vector<WorkspaceEntry>& entries) {
    const auto index = zones_.applicationIndex();
    const std::vector<RunningApplication> running = applications_.runningApplications();
    // What was started, by identifier and by the installed application each names: two forms of
    // one application's identifier start it once.
    std::set<std::string> launched;
    std::set<const InstalledApplication*> launchedApplications;
    std::vector<WorkspaceEntry> queued;
    for (const WorkspaceEntry& entry : entries) {
        const InstalledApplication* installed = index->entryNamed(entry.bundleID);
        if (launched.contains(entry.bundleID) || (installed && launchedApplications.contains(installed))) {
            queued.push_back(entry);
            continue;
        }
        const bool isRunning = std::any_of(running.begin(), running.end(), [&](const RunningApplication& app) {
            return !app.isTerminated && (app.bundleIdentifier == entry.bundleID ||
                                         index->names(entry.bundleID, app.windowApplication()));
        });
        if (isRunning) {
            // Its windows may still be opening.
            queued.push_back(entry);
        } else if (launcher && launcher(entry.bundleID)) {
            launched.insert(entry.bundleID);
            if (installed) launchedApplications.insert(installed);
            queued.push_back(entry);
        }
    }
    if (queued.empty()) return;

    pendingEntries_.insert(pendingEntries_.end(), queued.begin(), queued.end());
    scheduler_.cancel(pendingExpiry_);
    pendingExpiry_ = scheduler_.schedule(pendingLifetime, [this] {
        pendingExpiry_ = {};
        pendingEntries_.clear();
        changed_.emit();
    });
    changed_.emit();
}

bool WorkspaceService::applyPendingEntries(const WindowHandle& window) {
    if (pendingEntries_.empty()) return false;
    const auto info = engine_.info(window);
    if (!info || !info->bundleIdentifier) return false;

    // Entries hold their texts as valid UTF-8; the window's are compared in the same form, titles
    // as the user reads them (canonically equivalent titles are the same title).
    const auto namesApplication = zones_.applicationTest(*info);
    const std::optional<std::string> title = info->title ? std::optional<std::string>(validUTF8(*info->title)) : std::nullopt;
    const WorkspaceEntry* chosen = nullptr;
    for (const WorkspaceEntry& entry : pendingEntries_) {
        if (!namesApplication(entry.bundleID)) continue;
        if (!chosen) chosen = &entry;
        const bool sameTitle = entry.title && title ? canonicallyEqual(*entry.title, *title) : entry.title == title;
        if (sameTitle) {
            chosen = &entry;
            break;
        }
    }
    if (!chosen) return false;

    const WorkspaceEntry entry = *chosen;
    std::erase_if(pendingEntries_, [&](const WorkspaceEntry& pending) { return pending.id == entry.id; });
    changed_.emit();
    apply(entry, window);
    return true;
}

std::optional<Workspace> WorkspaceService::restoreForCurrentDisplays() {
    auto workspace = library_.workspaceToRestore(currentDisplayIdentifiers());
    if (!workspace) return std::nullopt;
    Workspace automatic = *workspace;
    automatic.launchesMissingApps = false;  // automatic restores never start applications
    restore(automatic);
    return workspace;
}

}  // namespace tessary
