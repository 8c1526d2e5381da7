#pragma once

// What the drag benchmarks share: a document store that keeps nothing, the overlay's model side as
// the overlay controller keeps it, and a zone service whose every display uses one grid layout.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Tessary/services/OverlayModel.h"
#include "Tessary/services/OverlayPresenting.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/DocumentFileSystem.h"
#include "WindowEngine/FakeWindowEngine.h"

namespace tessary::bench {

// A document store that keeps nothing: the benchmarks measure no file work.
class NoFiles : public DocumentFileSystem {
public:
    Expected<std::optional<std::string>, std::error_code> readFile(const std::filesystem::path&) override {
        return std::optional<std::string>();
    }
    std::error_code createDirectories(const std::filesystem::path&) override { return {}; }
    std::error_code writeAtomically(const std::filesystem::path&, std::string_view, std::optional<FileStamp>*) override {
        return {};
    }
};

// The overlay's model side, as the overlay controller keeps it: one model per display, each telling
// its panel which rectangles to repaint.
class ModelOverlay : public OverlayPresenting {
public:
    void show(const std::vector<OverlayItem>& items) override {
        for (const auto& item : items) {
            auto& model = models[item.display.displayID];
            model.onChange = [this, &model](const OverlayModelChange& change) {
                repaint.clear();
                model.appendRepaintRects(change, 12, repaint);
            };
            model.setZones(item.zones);
            model.clearHighlight();
        }
    }
    void setHighlighted(const std::vector<std::int64_t>& indices, const DisplayInfo& display,
                        std::string_view note) override {
        ++highlights;
        for (auto& [id, model] : models) {
            if (id == display.displayID) {
                model.setHighlighted(indices, note);
            } else {
                model.clearHighlight();
            }
        }
    }
    void hide() override {}

    std::map<std::uint32_t, OverlayModel> models;
    std::vector<Rect> repaint;
    // Calls of setHighlighted.
    int highlights = 0;
};

// A zone service over the engine whose every display uses a grid of `zoneCount` zones.
inline std::unique_ptr<ZoneService> gridZoneService(std::shared_ptr<WindowEngine> engine, std::int64_t zoneCount) {
    auto service = std::make_unique<ZoneService>(
        std::move(engine), JSONDocumentStore<LayoutLibrary>("/nonexistent/layouts.json", std::make_shared<NoFiles>()));
    service->updateLibrary([&](LayoutLibrary& library) {
        ZoneLayout grid(LayoutTemplate::grid, zoneCount);
        library.layouts = {grid};
        library.defaultLayoutID = grid.id;
    });
    return service;
}

}  // namespace tessary::bench
