#pragma once

// The layout editor over the services' made-up desktop: a zone service on the counting document
// store, the displays of that desktop as the connected ones, and a clock that stands still until
// a test moves it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Tessary/editor/DestructiveConfirmation.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "TessaryCore/ZoneCanvas.h"
#include "TessaryCore/ZoneGrid.h"
#include "WindowEngine/DisplayProvider.h"
#include "tests/Tessary/TestWorld.h"

namespace tessary::testing {

// A layout stamped at 0, without gaps unless given.
inline ZoneLayout gridLayout(std::string name, ZoneGrid grid, std::optional<ZoneLayout::Origin> origin = std::nullopt,
                             double gaps = 0) {
    return ZoneLayout(UUID::random(), std::move(name), LayoutKind(std::move(grid)), gaps, gaps, std::move(origin), Date(0));
}

inline ZoneLayout canvasLayout(std::string name, Size reference, std::vector<Rect> zones,
                               std::optional<ZoneLayout::Origin> origin = std::nullopt) {
    return ZoneLayout(UUID::random(), std::move(name), LayoutKind(ZoneCanvas{reference, std::move(zones)}), 8, 8,
                      std::move(origin), Date(0));
}

// A grid checked and numbered as the editor would make it.
inline ZoneGrid madeGrid(std::vector<double> rows, std::vector<double> columns,
                         std::vector<std::vector<std::int64_t>> cells) {
    return ZoneGrid::make(std::move(rows), std::move(columns), std::move(cells)).value();
}

// Stands in for the alert: keeps what was asked and the last action, for the test to run or not.
struct RecordingConfirm {
    Confirm confirm() {
        return [this](const ConfirmRequest& request, std::function<void()> action) {
            asked.push_back(request);
            answer = std::move(action);
        };
    }
    std::vector<ConfirmRequest> asked;
    std::function<void()> answer;
};

class EditorWorld : public PlacementWorld {
public:
    // The first layout is the default unless told otherwise; nothing has been written yet.
    explicit EditorWorld(std::vector<ZoneLayout> layouts, bool firstIsDefault = true) {
        DisplayProvider::displaysOverride = displays;
        LayoutLibrary library;
        library.layouts = std::move(layouts);
        if (firstIsDefault && !library.layouts.empty()) library.defaultLayoutID = library.layouts.front().id;
        zones->setLibrary(std::move(library));
        files->writes.clear();
        model = std::make_unique<LayoutEditorModel>(*zones, [this] { return now; });
    }
    ~EditorWorld() { DisplayProvider::displaysOverride.reset(); }

    int saves() const { return writes("layouts.json"); }
    const LayoutLibrary& library() const { return zones->library(); }
    const ZoneLayout& layout(std::size_t index) const { return library().layouts.at(index); }
    const ZoneGrid& grid(std::size_t index) const { return *layout(index).kind.grid(); }
    const ZoneCanvas& canvas(std::size_t index) const { return *layout(index).kind.canvas(); }
    std::vector<std::string> editorLog() const { return sink.messages("LayoutEditor"); }
    void select(std::size_t index) { model->setSelectedLayoutID(layout(index).id); }

    Date now{1000.0};
    std::unique_ptr<LayoutEditorModel> model;
};

}  // namespace tessary::testing
