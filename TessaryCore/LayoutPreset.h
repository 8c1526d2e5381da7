#pragma once

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "TessaryCore/DisplayClass.h"
#include "TessaryCore/LayoutKind.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

// One of the fixed layouts the editor offers as a starting point, grouped by the display shapes it suits.
class LayoutPreset {
public:
    struct Group {
        enum Case { standard, ultrawide, superUltrawide, laptop, portrait, large, focus };

        Case value = standard;

        constexpr Group() = default;
        constexpr Group(Case c) : value(c) {}

        static constexpr std::array<Case, 7> allCases{standard, ultrawide, superUltrawide, laptop,
                                                      portrait, large,    focus};

        std::string_view rawValue() const;
        static std::optional<Group> fromRawValue(std::string_view text);
        // The heading the group is listed under.
        std::string_view title() const;
        // The display classes the group serves: its own class, or every class but portrait for focus.
        std::set<DisplayClass> displayClasses() const;

        friend constexpr bool operator==(Group, Group) = default;
    };

    // The unit rectangles of a canvas preset or the table of a grid preset.
    struct UnitRect {
        double x, y, width, height;
    };
    struct GridTable {
        std::vector<double> rowWeights;
        std::vector<double> columnWeights;
        std::vector<std::vector<std::int64_t>> cellZones;
    };

    LayoutPreset(std::string id, std::string name, std::string summary, Group group, GridTable grid);
    LayoutPreset(std::string id, std::string name, std::string summary, Group group, std::vector<UnitRect> canvas);

    // Stable, lower case with hyphens; stored in the origin of a layout made from the preset.
    const std::string& id() const { return id_; }
    const std::string& name() const { return name_; }
    const std::string& summary() const { return summary_; }
    Group group() const { return group_; }
    // A fresh body on every call: a grid through the validating initialiser (so renumbered in
    // reading order), or a canvas of the unit rectangles scaled to 1920 x 1080.
    LayoutKind build() const;

    // The 38 presets, group by group, built once.
    static const std::vector<LayoutPreset>& all();
    // The first preset with exactly that identifier (case matters).
    static const LayoutPreset* preset(std::string_view id);
    static std::vector<LayoutPreset> presets(Group group);
    // The presets suggested for displays of those classes: those of every group but focus that
    // serves one of them, in table order.
    static std::vector<LayoutPreset> presets(const std::set<DisplayClass>& classes);

    // A new layout of the preset: a new identifier, the given name (the preset's when none is given;
    // an empty one stays empty), spacing and padding 8, origin (blank, the body's zone count, this
    // preset), and the current time.
    ZoneLayout makeLayout(std::optional<std::string> name = std::nullopt) const;

    // Presets are identified by their identifier alone.
    friend bool operator==(const LayoutPreset& a, const LayoutPreset& b) { return a.id_ == b.id_; }

private:
    std::string id_;
    std::string name_;
    std::string summary_;
    Group group_;
    std::optional<GridTable> grid_;
    std::vector<UnitRect> canvas_;
};

}  // namespace tessary

template <>
struct std::hash<tessary::LayoutPreset> {
    std::size_t operator()(const tessary::LayoutPreset& preset) const noexcept {
        return std::hash<std::string>{}(preset.id());
    }
};

template <>
struct std::hash<tessary::LayoutPreset::Group> {
    std::size_t operator()(tessary::LayoutPreset::Group group) const noexcept {
        return std::hash<std::string_view>{}(group.rawValue());
    }
};
