#include "Tessary/editor/NewLayoutSheetModel.h"

#include <algorithm>
#include <set>

#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

std::string templateDescription(LayoutTemplate t) {
    switch (t.value) {
    case LayoutTemplate::focus: return "Overlapping zones stacked diagonally: one main window with others peeking out.";
    case LayoutTemplate::columns: return "Equal columns across the display. Drag the dividers afterwards to change their widths.";
    case LayoutTemplate::rows: return "Equal rows down the display.";
    case LayoutTemplate::grid: return "Zones arranged as close to square as possible; rows are filled evenly.";
    case LayoutTemplate::priorityGrid: return "A large main zone with the remaining zones stacked beside it.";
    case LayoutTemplate::blank: return "Start from nothing and add zones on the canvas.";
    }
    return {};
}

}  // namespace

NewLayoutSheetModel::NewLayoutSheetModel(LayoutEditorModel& model) : model_(model) { reset(); }

void NewLayoutSheetModel::reset() {
    choice_ = Choice::of(LayoutTemplate::columns);
    zoneCount_ = 3;
    name_.clear();
}

void NewLayoutSheetModel::setZoneCount(std::int64_t count) { zoneCount_ = std::clamp(count, minimumZones, maximumZones); }

std::vector<NewLayoutSheetModel::Section> NewLayoutSheetModel::sections() const {
    const auto templateTile = [&](LayoutTemplate t) {
        const bool blank = t == LayoutTemplate::blank;
        return Tile{Choice::of(t), localizedName(t), ZoneService::localized(blank ? "Empty canvas" : "1\u20139 zones"),
                    ZoneLayout(t, blank ? 0 : zoneCount_, ""), Choice::of(t) == choice_};
    };
    const auto presetTile = [&](const LayoutPreset& p) {
        return Tile{Choice::of(p), ZoneService::localized(p.name()), ZoneService::localized(p.summary()), p.makeLayout(),
                    Choice::of(p) == choice_};
    };
    // The table's own entries, whose addresses stay valid for the choice.
    const auto fromTable = [](const LayoutPreset& copy) -> const LayoutPreset& { return *LayoutPreset::preset(copy.id()); };

    std::vector<Section> sections;
    Section templates{ZoneService::localized("Templates"), {}};
    for (LayoutTemplate::Case t : LayoutTemplate::allCases) templates.tiles.push_back(templateTile(t));
    sections.push_back(std::move(templates));

    const std::vector<DisplayInfo> displays = DisplayProvider::displays();
    std::set<DisplayClass> classes;
    std::string names;
    for (const DisplayInfo& display : displays) {
        const auto own = display.displayClasses();
        classes.insert(own.begin(), own.end());
        names += (names.empty() ? "" : ", ") + display.localizedName;
    }
    if (const auto suggested = LayoutPreset::presets(classes); !suggested.empty()) {
        std::string title = ZoneService::localized("Suggested for %@");
        title.replace(title.find("%@"), 2, names);
        Section section{std::move(title), {}};
        for (const LayoutPreset& p : suggested) section.tiles.push_back(presetTile(fromTable(p)));
        sections.push_back(std::move(section));
    }
    for (LayoutPreset::Group::Case g : LayoutPreset::Group::allCases) {
        Section section{ZoneService::localized(LayoutPreset::Group(g).title()), {}};
        for (const LayoutPreset& p : LayoutPreset::presets(LayoutPreset::Group(g))) section.tiles.push_back(presetTile(fromTable(p)));
        sections.push_back(std::move(section));
    }
    return sections;
}

ZoneLayout NewLayoutSheetModel::previewLayout() const {
    if (choice_.preset) return choice_.preset->makeLayout(name_);
    const LayoutTemplate t = *choice_.layoutTemplate;
    return ZoneLayout(t, t == LayoutTemplate::blank ? 0 : zoneCount_, name_);
}

std::string NewLayoutSheetModel::placeholder() const {
    if (choice_.preset) return ZoneService::localized(choice_.preset->name());
    return localizedName(*choice_.layoutTemplate);
}

std::string NewLayoutSheetModel::description() const {
    if (choice_.preset) return ZoneService::localized(choice_.preset->summary());
    return ZoneService::localized(templateDescription(*choice_.layoutTemplate));
}

bool NewLayoutSheetModel::showsZoneCount() const {
    return !choice_.preset && choice_.layoutTemplate != LayoutTemplate::blank;
}

void NewLayoutSheetModel::create() {
    if (choice_.preset) {
        model_.createLayout(*choice_.preset, name_);
    } else {
        model_.createLayout(*choice_.layoutTemplate, zoneCount_, name_);
    }
    model_.setPresentingNewLayout(false);
}

void NewLayoutSheetModel::cancel() { model_.setPresentingNewLayout(false); }

}  // namespace tessary
