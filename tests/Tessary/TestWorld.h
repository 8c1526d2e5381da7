#pragma once

// A made-up desktop for the services: displays, a window engine in memory, virtual time, documents
// in a temporary folder whose writes are counted, and a zone service whose every display uses a
// 2 x 2 layout without gaps.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <optional>
#include <vector>

#include "Platform/ApplicationIndex.h"
#include "Platform/Logger.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/ZoneGrid.h"
#include "TessaryCore/ZoneLayout.h"
#include "WindowEngine/DisplayInfo.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "tests/TessaryCore/TestSupport.h"

namespace tessary::testing {

struct Snap {
    WindowHandle window;
    std::string displayIdentifier;
    std::vector<std::int64_t> zoneIndices;

    friend bool operator==(const Snap&, const Snap&) = default;
};

// An installed application as a desktop entry describes it: its id (what the installed list
// stores), its name and the program its Exec line runs; no StartupWMClass, as most entries.
inline InstalledApplication desktopEntry(std::string id, std::string name, std::string program) {
    InstalledApplication application;
    application.bundleIdentifier = id;
    application.name = std::move(name);
    application.location = "/usr/share/applications/" + id + ".desktop";
    application.entryID = std::move(id);
    application.program = std::move(program);
    return application;
}

// A display whose work area is its frame unless given; display 1 is the primary one.
inline DisplayInfo makeDisplay(std::uint32_t id, std::string identifier, Rect frame,
                               std::optional<Rect> workArea = std::nullopt) {
    return DisplayInfo{id, identifier, identifier, frame, workArea.value_or(frame), id == 1, false};
}

class PlacementWorld {
public:
    PlacementWorld() {
        zones = std::make_unique<ZoneService>(engineHandle, store<LayoutLibrary>("layouts.json"));
        zones->updateLibrary([&](LayoutLibrary& library) {
            library.layouts = {quarters};
            library.defaultLayoutID = quarters.id;
        });
        zones->onSnapped = [this](const WindowHandle& window, const DisplayInfo& display,
                                  const std::vector<std::int64_t>& indices) {
            snaps.push_back({window, display.identifier, indices});
        };
    }

    // Zones 0 1 / 2 3 on every display: 500 x 400 each on the main display, 400 x 300 on the side one.
    static Rect mainZone(std::int64_t index) {
        return Rect(500.0 * static_cast<double>(index % 2), 400.0 * static_cast<double>(index / 2), 500, 400);
    }
    static Rect sideZone(std::int64_t index) {
        return Rect(1000 + 400.0 * static_cast<double>(index % 2), 300.0 * static_cast<double>(index / 2), 400, 300);
    }

    template <typename Document>
    JSONDocumentStore<Document> store(const std::string& name) {
        return JSONDocumentStore<Document>(folder / name, files);
    }
    std::function<std::vector<DisplayInfo>()> displaysReader() {
        return [this] { return displays; };
    }
    int writes(const std::string& name) const {
        const auto found = files->writes.find(name);
        return found == files->writes.end() ? 0 : found->second;
    }
    std::size_t setFrameCount() const { return engine.setFrameCalls.size(); }
    Rect frameOf(const WindowHandle& window) { return *engine.frame(window); }

    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    VirtualScheduler scheduler;
    std::shared_ptr<FakeWindowEngine> engineHandle = std::make_shared<FakeWindowEngine>();
    FakeWindowEngine& engine = *engineHandle;
    TemporaryFolder folder;
    std::shared_ptr<FaultyFileSystem> files = std::make_shared<FaultyFileSystem>();
    DisplayInfo main = makeDisplay(1, "MAIN", Rect(0, 0, 1000, 800));
    DisplayInfo side = makeDisplay(2, "SIDE", Rect(1000, 0, 800, 600));
    std::vector<DisplayInfo> displays{main, side};
    ZoneLayout quarters{UUID::random(), "Quarters", LayoutKind(ZoneGrid::uniform(2, 2)), 0, 0, std::nullopt, Date(0)};
    std::unique_ptr<ZoneService> zones;
    std::vector<Snap> snaps;
};

}  // namespace tessary::testing
