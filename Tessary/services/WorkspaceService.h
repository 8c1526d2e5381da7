#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/ApplicationLauncher.h"
#include "Platform/ApplicationWorkspace.h"
#include "Platform/Logger.h"
#include "Tessary/services/DocumentTrouble.h"
#include "Tessary/services/SaveReport.h"
#include "Platform/ProcessID.h"
#include "Platform/Scheduler.h"
#include "Platform/Signal.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/UUID.h"
#include "TessaryCore/Workspace.h"
#include "TessaryCore/WorkspaceEntry.h"
#include "TessaryCore/WorkspaceLibrary.h"
#include "TessaryCore/Zone.h"
#include "WindowEngine/DisplayInfo.h"
#include "WindowEngine/WindowEngine.h"

namespace tessary {

// Owns the saved workspaces ("workspaces.json", saved at once after every change), captures the
// open windows into a workspace and restores one: matching windows are moved back, and, when the
// workspace asks for it, missing applications are started and their windows placed as they appear
// within 15 s.
class WorkspaceService {
public:
    using DisplaysReader = std::function<std::vector<DisplayInfo>()>;
    // Starts an application by identifier; true when a start was requested.
    using Launcher = std::function<bool(const std::string& bundleIdentifier)>;

    static constexpr std::chrono::milliseconds pendingLifetime{15000};
    // A window occupies a zone within 4 points (whether it is in place, the engine decides).
    static constexpr double zoneTolerance = 4.0;

    // Loads the workspaces; a missing or unusable file gives the empty library (what was wrong with
    // it is logged and kept in documentTrouble(), for the user to be told). The
    // launcher starts with launcher.launch; running applications are asked of `applications`.
    WorkspaceService(ZoneService& zones, DisplaysReader displays, JSONDocumentStore<WorkspaceLibrary> store,
                     ApplicationWorkspace& applications, ApplicationLauncher& launcher, Scheduler& scheduler);
    // Pending entries expire with the service.
    ~WorkspaceService();
    WorkspaceService(const WorkspaceService&) = delete;
    WorkspaceService& operator=(const WorkspaceService&) = delete;

    const WorkspaceLibrary& library() const { return library_; }
    const JSONDocumentStore<WorkspaceLibrary>& store() const { return store_; }
    const std::optional<DocumentTrouble>& documentTrouble() const { return documentTrouble_; }
    // How the saves of the document fare: the cause of the last failure, and the notices to give.
    SaveReport& saveReport() { return saveReport_; }
    const SaveReport& saveReport() const { return saveReport_; }
    // Stores the library without saving or telling onChanged; observers hear of it only when it differs.
    void setLibrary(WorkspaceLibrary library);
    // Called after every change of the library (every saving operation, and a differing setLibrary)
    // and of the pending entries.
    [[nodiscard]] Subscription observe(std::function<void()> observer) { return changed_.subscribe(std::move(observer)); }
    // Changes the library in place, saves it and calls onChanged (also when nothing changed or the
    // save failed).
    void updateLibrary(const std::function<void(WorkspaceLibrary&)>& change);
    // Replaces the library wholesale (a synchronised copy), saves it and calls onChanged.
    void replaceLibrary(WorkspaceLibrary library);
    // Saves the library as it is (a save that failed, tried again); observers hear only of what a
    // merge with another instance's file brought.
    void saveAgain();
    // Takes in what another instance of the program (another display of the user's) wrote to
    // "workspaces.json", merged with this library; saves nothing.
    void takeOutsideChanges();

    // One entry per open standard window that is not minimised, not left alone by the window
    // filter, has an application and lies on a display.
    std::vector<WorkspaceEntry> captureCurrentWindows();
    // Captures into a new workspace with that name (as given) and stores it.
    Workspace saveCurrentWindows(const std::string& name);
    // Recaptures the windows and displays of an existing workspace; nothing for an unknown id.
    std::optional<Workspace> updateWithCurrentWindows(const UUID& id);
    // Moves the windows that match the workspace's entries back; with launchesMissingApps, starts
    // the applications of the entries left over and waits for their windows. The number moved.
    int restore(const Workspace& workspace);
    // Restores (never launching) the workspace saved for exactly the connected displays; that
    // workspace, or nothing.
    std::optional<Workspace> restoreForCurrentDisplays();
    // Lets an entry waiting for the window's application take a new window: true when one did
    // (whether or not the window took its place), so that nothing else places it.
    bool applyPendingEntries(const WindowHandle& window);

    const std::vector<WorkspaceEntry>& pendingEntries() const { return pendingEntries_; }
    bool hasPendingExpiry() const { return static_cast<bool>(pendingExpiry_); }

    // The zones a frame fills: the one zone it matches within 4 points, else the zones inside the
    // frame grown by 4 points when there are two or more and their union matches it; else none.
    static std::vector<std::int64_t> zoneIndices(const Rect& frame, const std::vector<Zone>& zones);
    // The same for a window, which also fills the zones it has taken as its size step allows (a
    // terminal short of its zone by part of a character cell: WindowEngine::isInPlace).
    std::vector<std::int64_t> zoneIndices(const WindowHandle& window, const Rect& frame,
                                          const std::vector<Zone>& zones);

    // Called after every save; set by synchronisation.
    std::function<void()> onChanged;
    // The program's own process: its windows (settings, editor) are never captured. On X11 they
    // are standard windows like any other.
    std::optional<ProcessID> ownProcess;
    // Starts applications; replaceable.
    Launcher launcher;

private:
    void save();
    bool apply(const WorkspaceEntry& entry, const WindowHandle& window);
    void launchMissingApps(const std::vector<WorkspaceEntry>& entries);
    std::set<std::string> currentDisplayIdentifiers();

    ZoneService& zones_;
    WindowEngine& engine_;
    DisplaysReader displays_;
    JSONDocumentStore<WorkspaceLibrary> store_;
    std::optional<DocumentTrouble> documentTrouble_;
    SaveReport saveReport_{"workspaces", "could not save workspaces: "};
    ApplicationWorkspace& applications_;
    Scheduler& scheduler_;
    WorkspaceLibrary library_;
    std::vector<WorkspaceEntry> pendingEntries_;
    ScheduledTask pendingExpiry_;
    Signal<> changed_;
    Logger log{"Workspaces"};
};

}  // namespace tessary
