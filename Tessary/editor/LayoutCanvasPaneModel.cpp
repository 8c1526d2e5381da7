#include "Tessary/editor/LayoutCanvasPaneModel.h"

#include <algorithm>
#include <cmath>

#include "Tessary/editor/CanvasEditorModel.h"
#include "TessaryCore/DisplayKey.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

constexpr double fallbackRatio = 1.6;

std::optional<double> ratioOf(Size size) {
    if (!(size.width > 0 && size.height > 0 && std::isfinite(size.width) && std::isfinite(size.height))) return std::nullopt;
    const double ratio = size.width / size.height;
    if (!(ratio > 0 && std::isfinite(ratio))) return std::nullopt;
    return ratio;
}

std::string wholePoints(double value) { return std::to_string(roundedToInt64(std::trunc(value))); }

}  // namespace

std::vector<LayoutCanvasPaneModel::Command> LayoutCanvasPaneModel::commands() const {
    const ZoneLayout* layout = model_.currentLayout();
    if (!layout) return {};
    const std::size_t selected = model_.selectedZones().size();
    if (layout->kind.isGrid()) {
        return {
            {CommandID::merge, "Merge", "", "Merge the selected zones into one", selected >= 2},
            {CommandID::splitVertically, "Split Vertically", "rectangle.split.2x1", "Split the selected zone into left and right", selected == 1},
            {CommandID::splitHorizontally, "Split Horizontally", "rectangle.split.1x2", "Split the selected zone into top and bottom", selected == 1},
        };
    }
    return {
        {CommandID::addZone, "Add Zone", "", "", true},
        {CommandID::deleteSelected, "Delete Selected", "", "", selected >= 1},
    };
}

void LayoutCanvasPaneModel::perform(CommandID command) {
    switch (command) {
    case CommandID::merge: model_.mergeSelectedZones(); break;
    case CommandID::splitVertically: model_.splitSelectedZone(ZoneGrid::SplitAxis::vertical); break;
    case CommandID::splitHorizontally: model_.splitSelectedZone(ZoneGrid::SplitAxis::horizontal); break;
    case CommandID::addZone: model_.addZone(); break;
    case CommandID::deleteSelected: CanvasEditorModel::confirmDeleteSelectedZones(model_, confirm_); break;
    }
}

double LayoutCanvasPaneModel::aspectRatio() const {
    const ZoneLayout* layout = model_.currentLayout();
    if (const ZoneCanvas* canvas = layout ? layout->kind.canvas() : nullptr) {
        if (auto ratio = ratioOf(canvas->referenceSize)) return *ratio;
    }
    if (const auto display = model_.referenceDisplay()) {
        if (auto ratio = ratioOf(display->workArea.size)) return *ratio;
    }
    return fallbackRatio;
}

Size LayoutCanvasPaneModel::surfaceSize(Size available) const {
    const double ratio = aspectRatio();
    const double width = std::min(std::max(available.height, 80.0) * ratio, std::max(available.width, 100.0));
    return {width, width / ratio};
}

LayoutCanvasPaneModel::HelpLine LayoutCanvasPaneModel::helpLine() const {
    if (const auto& error = model_.errorMessage()) return {*error, true};
    const ZoneLayout* layout = model_.currentLayout();
    if (layout && layout->kind.isCanvas()) {
        return {ZoneService::localized("Drag zones to move them, drag the corner handle to resize. Zones may overlap."), false};
    }
    if (const std::size_t selected = model_.selectedZones().size(); selected > 0) {
        std::string text = ZoneService::localized("%lld selected");
        text.replace(text.find("%lld"), 4, std::to_string(selected));
        return {text, false};
    }
    // Alt stands in for Option on Linux desktops. It is named after the press: window managers take
    // Alt held at a press to move the window under the pointer.
    return {ZoneService::localized(
                "Click zones to select them; drag the lines between zones to resize. Start a drag, then hold Alt to move a whole line."),
            false};
}

std::string LayoutCanvasPaneModel::sizeLine() const {
    const auto display = model_.referenceDisplay();
    if (!display) return ZoneService::localized("No display");
    return ZoneService::localized("Sizes shown for ") + display->localizedName + ", " + wholePoints(display->workArea.width()) +
           " \u00d7 " + wholePoints(display->workArea.height()) + " px";
}

bool LayoutCanvasPaneModel::showsPicker() const { return DisplayProvider::displays().size() >= 2; }

std::vector<LayoutCanvasPaneModel::PickerEntry> LayoutCanvasPaneModel::pickerEntries() const {
    std::vector<PickerEntry> entries;
    for (const DisplayInfo& display : DisplayProvider::displays()) entries.push_back({display.displayID, display.localizedName});
    return entries;
}

std::uint32_t LayoutCanvasPaneModel::pickerValue() const {
    if (const auto& previewed = model_.previewDisplayID()) return *previewed;
    if (const auto display = model_.referenceDisplay()) return display->displayID;
    return 0;
}

void LayoutCanvasPaneModel::choose(std::uint32_t displayID) {
    if (model_.previewDisplayID()) {
        model_.setPreviewDisplayID(displayID);
    } else {
        model_.setSizeReferenceDisplayID(displayID);
    }
}

}  // namespace tessary
