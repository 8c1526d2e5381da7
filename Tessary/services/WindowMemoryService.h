#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "Platform/Logger.h"
#include "Tessary/services/DocumentTrouble.h"
#include "Tessary/services/SaveReport.h"
#include "Platform/Scheduler.h"
#include "Tessary/services/ZonePlacement.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/WindowPlacement.h"
#include "TessaryCore/WindowPlacementMemory.h"
#include "WindowEngine/DisplayInfo.h"
#include "WindowEngine/WindowEngine.h"
#include "WindowEngine/WindowHandle.h"

namespace tessary {

// Remembers the zones each window was last snapped into and puts windows back into them: a live
// memory per window handle for this run, and the persistent memory per application and title in
// "memory.json", saved one second after its last change.
class WindowMemoryService {
public:
    using DisplaysReader = std::function<std::vector<DisplayInfo>()>;

    static constexpr std::chrono::milliseconds saveDelay{1000};

    // Loads the persistent memory; a missing or unusable file gives the empty memory (what was wrong
    // with it is logged and kept in documentTrouble(), for the user to be told).
    WindowMemoryService(ZoneService& zones, DisplaysReader displays, JSONDocumentStore<WindowPlacementMemory> store,
                        Scheduler& scheduler);
    // A save still pending is dropped: call flush() first to keep it.
    ~WindowMemoryService();
    WindowMemoryService(const WindowMemoryService&) = delete;
    WindowMemoryService& operator=(const WindowMemoryService&) = delete;

    const std::unordered_map<WindowHandle, WindowPlacement>& live() const { return live_; }
    const WindowPlacementMemory& persistent() const { return persistent_; }
    const JSONDocumentStore<WindowPlacementMemory>& store() const { return store_; }
    const std::optional<DocumentTrouble>& documentTrouble() const { return documentTrouble_; }
    // How the saves of the document fare: the cause of the last failure, and the notices to give.
    SaveReport& saveReport() { return saveReport_; }
    const SaveReport& saveReport() const { return saveReport_; }
    bool hasPendingSave() const { return static_cast<bool>(saveTask_); }

    // Records a snap: the display's key, the layout the display has now and the zones, for the
    // window in this run and, when its application is known, for its application and title.
    void remember(const WindowHandle& window, const DisplayInfo& display, const std::vector<std::int64_t>& zoneIndices);
    // Drops the window's live entry and its own persistent record (its application's stays).
    void forget(const WindowHandle& window);
    // Puts one window back into its remembered zones on the display it was snapped on: the live
    // entry, else its own record, else (with appLevel) its application's. The placement when the
    // window was moved; nothing when it was already there, is left alone by the window filter, or
    // could not be placed.
    std::optional<ZonePlacement> restore(const WindowHandle& window, bool appLevel);
    // restore(_, appLevel: false) for every window; the number moved.
    int restoreAll();

    // Writes a save that is still waiting, at once (the program calls it when it quits, so that a
    // snap made in the last second is not forgotten). Nothing when none is waiting.
    void flush();
    // Saves the memory as it is, at once (a save that failed, tried again).
    void saveAgain();
    // Takes in what another instance of the program (another display of the user's) wrote to
    // "memory.json", merged with this memory; saves nothing.
    void takeOutsideChanges();
    // Forgets the live entry of a window that is gone, so that a new window given the same
    // identifier does not inherit it and the live memory does not grow with every window ever
    // snapped.
    void windowDestroyed(const WindowHandle& window);

private:
    void scheduleSave();
    void save();

    ZoneService& zones_;
    WindowEngine& engine_;
    DisplaysReader displays_;
    JSONDocumentStore<WindowPlacementMemory> store_;
    std::optional<DocumentTrouble> documentTrouble_;
    SaveReport saveReport_{"remembered placements", "could not save memory: "};
    Scheduler& scheduler_;
    std::unordered_map<WindowHandle, WindowPlacement> live_;
    WindowPlacementMemory persistent_;
    ScheduledTask saveTask_;
    Logger log{"WindowMemory"};
};

}  // namespace tessary
