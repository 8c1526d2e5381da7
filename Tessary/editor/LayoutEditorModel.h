#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "Platform/Logger.h"
#include "Platform/Signal.h"
#include "Tessary/editor/ZoneEdits.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/Date.h"
#include "TessaryCore/LayoutPreset.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/UUID.h"
#include "TessaryCore/ZoneLayout.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

// The layout editor's state and the only place where the editor changes layouts. It owns no
// layouts: every change is applied to a copy of the selected layout and written back with one
// upsert through ZoneService::updateLibrary, which saves "layouts.json" at once. There is no Save,
// Cancel or undo: each call that changes a layout saves once, so a drag saves once per step.
//
// Stamps come from the injected clock in whole milliseconds, and never go back: a layout already
// stamped later (by another device whose clock runs ahead) is stamped 1 ms after that, or the
// newest-wins merge would let the older copy replace this edit.
//
// A refused zone edit leaves the library untouched, sets errorMessage to the error's text and logs
// "edit rejected: TEXT" in category "LayoutEditor"; the next successful edit clears it.
//
// Each stored property tells observers only of a real change. Main loop only.
class LayoutEditorModel final {
public:
    enum class Property {
        selectedLayoutID,
        selectedZones,
        previewDisplayID,
        sizeReferenceDisplayID,
        errorMessage,
        isPresentingNewLayout,
    };

    using Clock = std::function<Date()>;
    using GridTransform = std::function<Expected<void, ZoneEditError>(ZoneGrid&)>;
    using CanvasTransform = std::function<Expected<void, ZoneEditError>(ZoneCanvas&)>;

    // Selects the library's default layout identifier (even when that layout is gone), else the
    // first layout, else nothing.
    explicit LayoutEditorModel(ZoneService& zones, Clock clock = &Date::now);
    LayoutEditorModel(const LayoutEditorModel&) = delete;
    LayoutEditorModel& operator=(const LayoutEditorModel&) = delete;

    ZoneService& zones() const { return zones_; }

    const std::optional<UUID>& selectedLayoutID() const { return selectedLayoutID_; }
    void setSelectedLayoutID(std::optional<UUID> id);
    const std::set<std::int64_t>& selectedZones() const { return selectedZones_; }
    void setSelectedZones(std::set<std::int64_t> zones);
    const std::optional<std::uint32_t>& previewDisplayID() const { return previewDisplayID_; }
    void setPreviewDisplayID(std::optional<std::uint32_t> id);
    const std::optional<std::uint32_t>& sizeReferenceDisplayID() const { return sizeReferenceDisplayID_; }
    void setSizeReferenceDisplayID(std::optional<std::uint32_t> id);
    const std::optional<std::string>& errorMessage() const { return errorMessage_; }
    void setErrorMessage(std::optional<std::string> text);
    bool isPresentingNewLayout() const { return isPresentingNewLayout_; }
    void setPresentingNewLayout(bool presenting);

    // Told after a real change of a stored property. The library's changes come from zones().observe.
    [[nodiscard]] Subscription observe(std::function<void(Property)> observer) {
        return changed_.subscribe(std::move(observer));
    }

    // The selected layout as stored in the library; nullptr when nothing is selected or the
    // identifier is gone. Valid until the library next changes.
    const ZoneLayout* currentLayout() const;
    // The display the preview, the aspect ratio and the sizes refer to: the previewed one, else the
    // chosen size reference, else the first display explicitly assigned the selected layout, else
    // the first display.
    std::optional<DisplayInfo> referenceDisplay() const;
    // "NAME copy"; empty with nothing selected.
    std::string suggestedCopyName() const;
    bool isDefault() const;
    bool hasOrigin() const;
    // Only an explicit assignment under the display's key counts, not the default falling through.
    bool isAssigned(const DisplayInfo& display) const;

    // With toggle, adds the zone or removes it; without, selects only that zone.
    void select(std::int64_t zone, bool toggle);

    // Whole layouts.
    void createLayout(LayoutTemplate layoutTemplate, std::int64_t zoneCount, const std::string& name);
    void createLayout(const LayoutPreset& preset, const std::string& name);
    void rename(const std::string& name);
    // A value that is not finite is refused with a log line (nothing stored or saved); a negative one
    // counts as 0, since a negative gap would lay zones over each other and off the display.
    void setSpacing(double spacing);
    void setPadding(double padding);
    // Rebuilds from the origin (a preset this version does not know keeps the zones).
    void resetToOrigin();
    // Blank always takes 0 zones.
    void resetToTemplate(LayoutTemplate layoutTemplate, std::int64_t zoneCount);
    void resetToPreset(const LayoutPreset& preset);
    // The name trimmed of spaces and tabs; empty gives suggestedCopyName().
    void duplicateLayout(const std::string& name);
    void deleteLayout();
    void assign(const DisplayInfo& display);
    void unassign(const DisplayInfo& display);
    void makeDefault();

    // The edit pipeline: with a current layout of that kind, runs the transform on a copy of its
    // body; a refusal rejects the edit; otherwise stamps and saves (a layout of the other kind is
    // stamped and saved unchanged). True when the layout was saved.
    bool editGrid(const GridTransform& transform);
    bool editCanvas(const CanvasTransform& transform);

    // Grid commands; each empties the selection, also when refused.
    void mergeSelectedZones();
    void splitSelectedZone(ZoneGrid::SplitAxis axis);
    // Canvas command; selects the new zone on a canvas.
    void addZone();

private:
    template <typename Body>
    bool edit(const std::function<Expected<void, ZoneEditError>(Body&)>& transform);
    // Applies the change to a copy of the current layout, stamps and saves it; false without one.
    bool changeCurrent(const std::function<void(ZoneLayout&)>& change);
    void appendNew(ZoneLayout layout);
    void setGap(double value, bool spacing);
    void stamp(ZoneLayout& layout) const;
    Date now() const { return clock_().roundedToMilliseconds(); }
    std::optional<UUID> fallbackSelection() const;

    template <typename T>
    void assignProperty(T& member, T value, Property property);

    ZoneService& zones_;
    Clock clock_;
    std::optional<UUID> selectedLayoutID_;
    std::set<std::int64_t> selectedZones_;
    std::optional<std::uint32_t> previewDisplayID_;
    std::optional<std::uint32_t> sizeReferenceDisplayID_;
    std::optional<std::string> errorMessage_;
    bool isPresentingNewLayout_ = false;
    Signal<Property> changed_;
    Logger log_{"LayoutEditor"};
};

}  // namespace tessary
