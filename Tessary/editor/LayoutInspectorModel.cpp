#include "Tessary/editor/LayoutInspectorModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "TessaryCore/DisplayKey.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

std::string LayoutInspectorModel::gapText(double points) {
    // The stored value to the hundredth, without trailing zeros: a gap set elsewhere to 7.6 reads
    // 7.6, not the 7 that cutting the fraction showed beside a slider standing at 8.
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, std::round(points * 100) / 100, std::chars_format::fixed, 2);
    std::string shown(text, written.ptr);
    if (written.ec != std::errc()) shown = "0";
    while (shown.find('.') != std::string::npos && (shown.back() == '0' || shown.back() == '.')) {
        const bool point = shown.back() == '.';
        shown.pop_back();
        if (point) break;
    }
    if (shown == "-0") shown = "0";
    return shown + " px";
}

std::string LayoutInspectorModel::kindText(const LayoutKind& kind) {
    if (const ZoneGrid* grid = kind.grid()) {
        return "Grid \u00b7 " + std::to_string(grid->columnCount()) + " \u00d7 " + std::to_string(grid->rowCount());
    }
    return "Canvas \u00b7 " +
           ZoneService::localizedCount("%lld zones", static_cast<std::int64_t>(kind.canvas()->zones.size()));
}

std::optional<LayoutInspectorModel::Content> LayoutInspectorModel::content() const {
    const ZoneLayout* layout = model_.currentLayout();
    if (!layout) return std::nullopt;
    Content content;
    content.name = layout->name;
    content.spacing = layout->spacing;
    content.padding = layout->padding;
    content.spacingText = gapText(layout->spacing);
    content.paddingText = gapText(layout->padding);
    for (const DisplayInfo& display : DisplayProvider::displays()) {
        content.displays.push_back({display, display.localizedName, model_.isAssigned(display)});
    }
    content.isDefault = model_.isDefault();
    content.kind = kindText(layout->kind);
    if (layout->origin) content.createdFrom = localizedName(layout->origin->layoutTemplate);
    return content;
}

void LayoutInspectorModel::moveSpacingSlider(double position) {
    model_.setSpacing(std::round(std::clamp(position, 0.0, maximumGap)));
}

void LayoutInspectorModel::movePaddingSlider(double position) {
    model_.setPadding(std::round(std::clamp(position, 0.0, maximumGap)));
}

void LayoutInspectorModel::setUsedOn(const DisplayInfo& display, bool on) {
    if (on) {
        model_.assign(display);
    } else {
        model_.unassign(display);
    }
}

}  // namespace tessary
