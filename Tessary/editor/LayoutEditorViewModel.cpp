#include "Tessary/editor/LayoutEditorViewModel.h"

#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

std::string withName(std::string text, const std::string& name) {
    if (const auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, name);
    return text;
}

}  // namespace

std::vector<LayoutEditorViewModel::Row> LayoutEditorViewModel::rows() const {
    const LayoutLibrary& library = model_.zones().library();
    const std::vector<DisplayInfo> displays = DisplayProvider::displays();
    std::vector<Row> rows;
    rows.reserve(library.layouts.size());
    for (const ZoneLayout& layout : library.layouts) {
        std::string subtitle = ZoneService::localizedCount("%lld zones", layout.zoneCount());
        if (library.defaultLayoutID == layout.id) subtitle += " \u00b7 " + ZoneService::localized("default");
        for (const DisplayInfo& display : displays) {
            const auto found = library.assignments.find(display.displayKey().description());
            if (found != library.assignments.end() && found->second == layout.id) subtitle += " \u00b7 " + display.localizedName;
        }
        rows.push_back({layout.id, layout.name, std::move(subtitle)});
    }
    return rows;
}

std::string LayoutEditorViewModel::title() const {
    const ZoneLayout* layout = model_.currentLayout();
    return layout ? layout->name : ZoneService::localized("Tessary Layouts");
}

LayoutEditorViewModel::Toolbar LayoutEditorViewModel::toolbar() const {
    const ZoneLayout* layout = model_.currentLayout();
    Toolbar toolbar;
    toolbar.canDuplicate = layout != nullptr;
    toolbar.canDelete = layout != nullptr && model_.zones().library().layouts.size() >= 2;
    toolbar.showsLayoutItems = layout != nullptr;
    if (layout) toolbar.inspectorHelp = withName(ZoneService::localized("Name, gaps and which displays use %@"), layout->name);
    return toolbar;
}

void LayoutEditorViewModel::chooseRow(const UUID& id) {
    model_.setSelectedLayoutID(id);
    model_.setSelectedZones({});
}

void LayoutEditorViewModel::setPreviewOn(bool on) {
    if (!on) {
        model_.setPreviewDisplayID(std::nullopt);
        return;
    }
    std::optional<DisplayInfo> display = model_.referenceDisplay();
    if (!display) {
        const auto displays = DisplayProvider::displays();
        if (!displays.empty()) display = displays.front();
    }
    model_.setPreviewDisplayID(display ? std::optional<std::uint32_t>(display->displayID) : std::nullopt);
}

void LayoutEditorViewModel::requestDelete() {
    const ZoneLayout* layout = model_.currentLayout();
    if (!layout || !confirm_) return;
    const UUID named = layout->id;
    LayoutEditorModel& model = model_;
    confirm_({withName(ZoneService::localized("Delete \u201c%@\u201d?"), layout->name),
              ZoneService::localized("Displays that use it go back to the default layout. This cannot be undone."),
              ZoneService::localized("Delete")},
             [&model, named] {
                 if (model.selectedLayoutID() == named) model.deleteLayout();
             });
}

}  // namespace tessary
