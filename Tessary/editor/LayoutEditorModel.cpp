#include "Tessary/editor/LayoutEditorModel.h"

#include <algorithm>
#include <cmath>

#include "WindowEngine/DisplayProvider.h"
#include "TessaryCore/SyncMerge.h"

namespace tessary {

namespace {

// Spaces and tabs at both ends; line breaks stay, as typed.
std::string trimmedOfBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

LayoutEditorModel::LayoutEditorModel(ZoneService& zones, Clock clock) : zones_(zones), clock_(std::move(clock)) {
    selectedLayoutID_ = fallbackSelection();
}

std::optional<UUID> LayoutEditorModel::fallbackSelection() const {
    const LayoutLibrary& library = zones_.library();
    if (library.defaultLayoutID) return library.defaultLayoutID;
    if (!library.layouts.empty()) return library.layouts.front().id;
    return std::nullopt;
}

template <typename T>
void LayoutEditorModel::assignProperty(T& member, T value, Property property) {
    if (member == value) return;
    member = std::move(value);
    changed_.emit(property);
}

void LayoutEditorModel::setSelectedLayoutID(std::optional<UUID> id) {
    assignProperty(selectedLayoutID_, std::move(id), Property::selectedLayoutID);
}
void LayoutEditorModel::setSelectedZones(std::set<std::int64_t> zones) {
    assignProperty(selectedZones_, std::move(zones), Property::selectedZones);
}
void LayoutEditorModel::setPreviewDisplayID(std::optional<std::uint32_t> id) {
    assignProperty(previewDisplayID_, id, Property::previewDisplayID);
}
void LayoutEditorModel::setSizeReferenceDisplayID(std::optional<std::uint32_t> id) {
    assignProperty(sizeReferenceDisplayID_, id, Property::sizeReferenceDisplayID);
}
void LayoutEditorModel::setErrorMessage(std::optional<std::string> text) {
    assignProperty(errorMessage_, std::move(text), Property::errorMessage);
}
void LayoutEditorModel::setPresentingNewLayout(bool presenting) {
    assignProperty(isPresentingNewLayout_, presenting, Property::isPresentingNewLayout);
}

const ZoneLayout* LayoutEditorModel::currentLayout() const {
    if (!selectedLayoutID_) return nullptr;
    const auto& layouts = zones_.library().layouts;
    const auto found = std::find_if(layouts.begin(), layouts.end(),
                                    [&](const ZoneLayout& layout) { return layout.id == *selectedLayoutID_; });
    return found == layouts.end() ? nullptr : &*found;
}

std::optional<DisplayInfo> LayoutEditorModel::referenceDisplay() const {
    const std::vector<DisplayInfo> displays = DisplayProvider::displays();
    const auto withID = [&](std::optional<std::uint32_t> id) -> std::optional<DisplayInfo> {
        if (!id) return std::nullopt;
        for (const auto& display : displays) {
            if (display.displayID == *id) return display;
        }
        return std::nullopt;
    };
    if (auto previewed = withID(previewDisplayID_)) return previewed;
    if (auto chosen = withID(sizeReferenceDisplayID_)) return chosen;
    if (selectedLayoutID_) {
        for (const auto& display : displays) {
            if (isAssigned(display)) return display;
        }
    }
    if (displays.empty()) return std::nullopt;
    return displays.front();
}

std::string LayoutEditorModel::suggestedCopyName() const {
    const ZoneLayout* layout = currentLayout();
    if (!layout) return {};
    // One text with the name in it, so that a translation may place the name anywhere.
    std::string text = ZoneService::localized("%@ copy");
    if (const auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, layout->name);
    return text;
}

bool LayoutEditorModel::isDefault() const { return zones_.library().defaultLayoutID == selectedLayoutID_; }

bool LayoutEditorModel::hasOrigin() const {
    const ZoneLayout* layout = currentLayout();
    return layout && layout->origin.has_value();
}

bool LayoutEditorModel::isAssigned(const DisplayInfo& display) const {
    const auto& assignments = zones_.library().assignments;
    const auto found = assignments.find(display.displayKey().description());
    const std::optional<UUID> assigned = found == assignments.end() ? std::nullopt : std::optional<UUID>(found->second);
    return assigned == selectedLayoutID_;
}

void LayoutEditorModel::select(std::int64_t zone, bool toggle) {
    if (!toggle) {
        setSelectedZones({zone});
        return;
    }
    std::set<std::int64_t> zones = selectedZones_;
    if (!zones.erase(zone)) zones.insert(zone);
    setSelectedZones(std::move(zones));
}

void LayoutEditorModel::stamp(ZoneLayout& layout) const {
    layout.setModifiedAt(SyncMerge::editStamp(layout.modifiedAt(), now()));
}

bool LayoutEditorModel::changeCurrent(const std::function<void(ZoneLayout&)>& change) {
    const ZoneLayout* current = currentLayout();
    if (!current) return false;
    ZoneLayout layout = *current;
    change(layout);
    stamp(layout);
    zones_.updateLibrary([&](LayoutLibrary& library) { library.upsert(layout); });
    return true;
}

void LayoutEditorModel::appendNew(ZoneLayout layout) {
    layout.setModifiedAt(now());
    const UUID id = layout.id;
    zones_.updateLibrary([&](LayoutLibrary& library) { library.upsert(layout); });
    setSelectedLayoutID(id);
    setSelectedZones({});
}

void LayoutEditorModel::createLayout(LayoutTemplate layoutTemplate, std::int64_t zoneCount, const std::string& name) {
    appendNew(ZoneLayout(layoutTemplate, zoneCount, name.empty() ? localizedName(layoutTemplate) : name));
}

void LayoutEditorModel::createLayout(const LayoutPreset& preset, const std::string& name) {
    appendNew(preset.makeLayout(name.empty() ? ZoneService::localized(preset.name()) : name));
}

void LayoutEditorModel::rename(const std::string& name) {
    if (changeCurrent([&](ZoneLayout& layout) { layout.name = name; })) setErrorMessage(std::nullopt);
}

void LayoutEditorModel::setGap(double value, bool spacing) {
    if (!currentLayout()) return;
    if (!std::isfinite(value)) {
        log_.notice(std::string(spacing ? "spacing" : "padding") + " refused: not a finite number");
        return;
    }
    const double gap = std::max(value, 0.0);
    // The stored value again is no edit: a new stamp would win the next merge over a real change
    // made on another computer.
    const ZoneLayout& current = *currentLayout();
    if ((spacing ? current.spacing : current.padding) == gap) return;
    changeCurrent([&](ZoneLayout& layout) { (spacing ? layout.spacing : layout.padding) = gap; });
    setErrorMessage(std::nullopt);
}

void LayoutEditorModel::setSpacing(double spacing) { setGap(spacing, true); }
void LayoutEditorModel::setPadding(double padding) { setGap(padding, false); }

void LayoutEditorModel::resetToOrigin() {
    if (changeCurrent([](ZoneLayout& layout) { layout.rebuildFromOrigin(); })) setErrorMessage(std::nullopt);
}

void LayoutEditorModel::resetToTemplate(LayoutTemplate layoutTemplate, std::int64_t zoneCount) {
    const std::int64_t count = layoutTemplate == LayoutTemplate::blank ? 0 : zoneCount;
    if (changeCurrent([&](ZoneLayout& layout) { layout.apply(layoutTemplate, count); })) setErrorMessage(std::nullopt);
}

void LayoutEditorModel::resetToPreset(const LayoutPreset& preset) {
    if (changeCurrent([&](ZoneLayout& layout) { layout.apply(preset); })) setErrorMessage(std::nullopt);
}

void LayoutEditorModel::duplicateLayout(const std::string& name) {
    const ZoneLayout* current = currentLayout();
    if (!current) return;
    ZoneLayout copy = *current;
    copy.id = UUID::random();
    const std::string trimmed = trimmedOfBlanks(name);
    copy.name = trimmed.empty() ? suggestedCopyName() : trimmed;
    appendNew(std::move(copy));
}

void LayoutEditorModel::deleteLayout() {
    if (!selectedLayoutID_) return;
    const UUID id = *selectedLayoutID_;
    zones_.updateLibrary([&](LayoutLibrary& library) { library.deleteLayout(id, now()); });
    setSelectedLayoutID(fallbackSelection());
    setSelectedZones({});
}

void LayoutEditorModel::assign(const DisplayInfo& display) {
    if (!selectedLayoutID_) return;
    const UUID id = *selectedLayoutID_;
    zones_.updateLibrary([&](LayoutLibrary& library) { library.assign(id, display.displayKey()); });
}

void LayoutEditorModel::unassign(const DisplayInfo& display) {
    if (!isAssigned(display)) return;
    zones_.removeAssignment(display);
}

void LayoutEditorModel::makeDefault() {
    if (!selectedLayoutID_) return;
    const UUID id = *selectedLayoutID_;
    zones_.updateLibrary([&](LayoutLibrary& library) { library.defaultLayoutID = id; });
}

template <typename Body>
bool LayoutEditorModel::edit(const std::function<Expected<void, ZoneEditError>(Body&)>& transform) {
    const ZoneLayout* current = currentLayout();
    if (!current) return false;
    ZoneLayout layout = *current;
    if (Body* body = std::get_if<Body>(&layout.kind.body)) {
        Body work = *body;
        if (auto done = transform(work); !done) {
            const std::string text = done.error().description();
            setErrorMessage(text);
            log_.notice("edit rejected: " + text);
            return false;
        }
        *body = std::move(work);
    }
    stamp(layout);
    zones_.updateLibrary([&](LayoutLibrary& library) { library.upsert(layout); });
    setErrorMessage(std::nullopt);
    return true;
}

bool LayoutEditorModel::editGrid(const GridTransform& transform) { return edit<ZoneGrid>(transform); }
bool LayoutEditorModel::editCanvas(const CanvasTransform& transform) { return edit<ZoneCanvas>(transform); }

void LayoutEditorModel::mergeSelectedZones() {
    if (selectedZones_.size() < 2) return;
    const std::set<std::int64_t> zones = selectedZones_;
    editGrid([&](ZoneGrid& grid) -> Expected<void, ZoneEditError> {
        if (auto merged = grid.merge(zones); !merged) return unexpected(ZoneEditError(merged.error()));
        return {};
    });
    setSelectedZones({});
}

void LayoutEditorModel::splitSelectedZone(ZoneGrid::SplitAxis axis) {
    if (selectedZones_.size() != 1) return;
    const std::int64_t zone = *selectedZones_.begin();
    editGrid([&](ZoneGrid& grid) -> Expected<void, ZoneEditError> {
        if (auto split = grid.split(zone, axis, 0.5); !split) return unexpected(ZoneEditError(split.error()));
        return {};
    });
    setSelectedZones({});
}

void LayoutEditorModel::addZone() {
    std::int64_t added = -1;
    editCanvas([&](ZoneCanvas& canvas) -> Expected<void, ZoneEditError> {
        if (auto done = ZoneEdits::addZone(canvas); !done) return done;
        added = static_cast<std::int64_t>(canvas.zones.size()) - 1;
        return {};
    });
    if (added >= 0) setSelectedZones({added});
}

}  // namespace tessary
