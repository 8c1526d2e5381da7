#include "Tessary/editor/ResetMenuModel.h"

#include <algorithm>

namespace tessary {

std::vector<ResetMenuModel::Entry> ResetMenuModel::menu() {
    std::vector<Entry> entries;
    for (LayoutTemplate::Case t : LayoutTemplate::allCases) {
        entries.push_back({Entry::Kind::layoutTemplate, localizedName(t), t, {}});
    }
    entries.push_back({Entry::Kind::separator, {}, {}, {}});
    for (LayoutPreset::Group::Case g : LayoutPreset::Group::allCases) {
        Entry group{Entry::Kind::group, ZoneService::localized(LayoutPreset::Group(g).title()), {}, {}};
        for (const LayoutPreset& preset : LayoutPreset::all()) {
            if (preset.group() == g) group.presets.push_back(&preset);
        }
        entries.push_back(std::move(group));
    }
    return entries;
}

void ResetMenuModel::confirmThen(std::function<void()> reset) {
    const ZoneLayout* layout = model_.currentLayout();
    if (!layout || !confirm_) return;
    const UUID named = layout->id;
    LayoutEditorModel& model = model_;
    std::string title = ZoneService::localized("Reset \u201c%@\u201d?");
    title.replace(title.find("%@"), 2, layout->name);
    confirm_({std::move(title), ZoneService::localized("Its zones are replaced and the changes you made to them are lost."),
              ZoneService::localized("Reset")},
             [&model, named, reset = std::move(reset)] {
                 if (model.selectedLayoutID() != named) return;
                 reset();
                 model.setSelectedZones({});
             });
}

void ResetMenuModel::resetToDefault() {
    LayoutEditorModel& model = model_;
    confirmThen([&model] { model.resetToOrigin(); });
}

void ResetMenuModel::resetToTemplate(LayoutTemplate layoutTemplate) {
    LayoutEditorModel& model = model_;
    confirmThen([&model, layoutTemplate] {
        const ZoneLayout* layout = model.currentLayout();
        model.resetToTemplate(layoutTemplate, std::max<std::int64_t>(1, layout ? layout->zoneCount() : 1));
    });
}

void ResetMenuModel::resetToPreset(const LayoutPreset& preset) {
    LayoutEditorModel& model = model_;
    confirmThen([&model, &preset] { model.resetToPreset(preset); });
}

}  // namespace tessary
