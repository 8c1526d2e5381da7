#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Tessary/editor/LayoutEditorModel.h"
#include "TessaryCore/LayoutPreset.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

// The new-layout sheet without its widgets: the gallery of templates, the presets suggested for
// the connected displays and every preset group; the chosen tile, the zone count and the name;
// what the preview and the form show; and Create. Each opening starts at Columns, 3, no name.
class NewLayoutSheetModel final {
public:
    // A template or a preset (one of LayoutPreset::all(), which lives for the process).
    struct Choice {
        std::optional<LayoutTemplate> layoutTemplate;
        const LayoutPreset* preset = nullptr;

        static Choice of(LayoutTemplate t) { return {t, nullptr}; }
        static Choice of(const LayoutPreset& p) { return {std::nullopt, &p}; }
        // Presets compare by identifier.
        friend bool operator==(const Choice& a, const Choice& b) {
            if (a.preset || b.preset) return a.preset && b.preset && a.preset->id() == b.preset->id();
            return a.layoutTemplate == b.layoutTemplate;
        }
    };

    struct Tile {
        Choice choice;
        std::string title;
        std::string subtitle;
        ZoneLayout thumbnail;
        bool selected = false;
    };

    struct Section {
        std::string title;
        std::vector<Tile> tiles;
    };

    static constexpr std::int64_t minimumZones = 1;
    static constexpr std::int64_t maximumZones = 9;

    explicit NewLayoutSheetModel(LayoutEditorModel& model);

    // Back to Columns, 3 zones, no name.
    void reset();

    const Choice& choice() const { return choice_; }
    void choose(const Choice& choice) { choice_ = choice; }
    std::int64_t zoneCount() const { return zoneCount_; }
    // Kept within 1 to 9.
    void setZoneCount(std::int64_t count);
    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

    std::vector<Section> sections() const;
    // What Create would make, drawn beside the form.
    ZoneLayout previewLayout() const;
    // The name the layout gets when the field stays empty.
    std::string placeholder() const;
    std::string description() const;
    // The zone count applies to every template but Blank.
    bool showsZoneCount() const;

    // Adds the layout (an empty name takes the placeholder), selects it, and closes the sheet.
    void create();
    // Closes the sheet; nothing is made.
    void cancel();

private:
    LayoutEditorModel& model_;
    Choice choice_;
    std::int64_t zoneCount_ = 3;
    std::string name_;
};

}  // namespace tessary
