#include "TessaryCore/LayoutPreset.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

namespace tessary {

namespace {

constexpr Size kReferenceSize{1920, 1080};

std::vector<LayoutPreset> makeTable() {
    using G = LayoutPreset::Group;
    using Grid = LayoutPreset::GridTable;
    using Unit = LayoutPreset::UnitRect;
    std::vector<LayoutPreset> t;
    t.reserve(38);
    // Standard monitors.
    t.emplace_back("halves", "Halves", "Two equal columns.", G::standard, Grid{{1}, {1, 1}, {{0, 1}}});
    t.emplace_back("thirds", "Thirds", "Three equal columns.", G::standard, Grid{{1}, {1, 1, 1}, {{0, 1, 2}}});
    t.emplace_back("main-sidebar", "Main + Sidebar", "Two thirds for the main app, a third for chat or notes.",
                   G::standard, Grid{{1}, {2, 1}, {{0, 1}}});
    t.emplace_back("sidebar-main", "Sidebar + Main", "The mirror image: narrow left, wide right.", G::standard,
                   Grid{{1}, {1, 2}, {{0, 1}}});
    t.emplace_back("golden", "Golden Ratio", "Columns split 62 / 38, easy on the eye.", G::standard,
                   Grid{{1}, {1.618, 1}, {{0, 1}}});
    t.emplace_back("quarters", "Quarters", "A 2 × 2 grid.", G::standard, Grid{{1, 1}, {1, 1}, {{0, 1}, {2, 3}}});
    t.emplace_back("main-stacked", "Main + Two Stacked", "Big window left, two smaller ones stacked right.",
                   G::standard, Grid{{1, 1}, {2, 1}, {{0, 1}, {0, 2}}});
    t.emplace_back("stacked-main", "Two Stacked + Main", "Two small windows left, big one right.", G::standard,
                   Grid{{1, 1}, {1, 2}, {{0, 2}, {1, 2}}});
    t.emplace_back("top-bottom", "Top + Bottom", "Two rows, e.g. editor above terminal.", G::standard,
                   Grid{{1, 1}, {1}, {{0}, {1}}});
    t.emplace_back("six-pack", "Six Pack", "Three columns by two rows.", G::standard,
                   Grid{{1, 1}, {1, 1, 1}, {{0, 1, 2}, {3, 4, 5}}});
    // Ultrawide.
    t.emplace_back("uw-center-stage", "Center Stage", "Wide centre zone with a column either side.", G::ultrawide,
                   Grid{{1}, {1, 2, 1}, {{0, 1, 2}}});
    t.emplace_back("uw-center-stacks", "Center + Stacked Sides", "Centre stays tall; each side splits top and bottom.",
                   G::ultrawide, Grid{{1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}}});
    t.emplace_back("uw-thirds", "Ultrawide Thirds", "Three generous columns.", G::ultrawide,
                   Grid{{1}, {1, 1, 1}, {{0, 1, 2}}});
    t.emplace_back("uw-four", "Four Columns", "Four equal columns.", G::ultrawide,
                   Grid{{1}, {1, 1, 1, 1}, {{0, 1, 2, 3}}});
    t.emplace_back("uw-main-two-cols", "Main + Two Columns", "Half for the main app, two quarter columns beside it.",
                   G::ultrawide, Grid{{1}, {2, 1, 1}, {{0, 1, 2}}});
    // Super ultrawide.
    t.emplace_back("suw-two-monitors", "Two Monitors", "Treat the panel as two 16:9 screens.", G::superUltrawide,
                   Grid{{1}, {1, 1}, {{0, 1}}});
    t.emplace_back("suw-two-monitors-split", "Two Monitors, Each Split", "Four columns: both halves split again.",
                   G::superUltrawide, Grid{{1}, {1, 1, 1, 1}, {{0, 1, 2, 3}}});
    t.emplace_back("suw-triple-stacks", "Triple with Stacked Sides",
                   "Tall centre, stacked zones on both sides (five zones).", G::superUltrawide,
                   Grid{{1, 1}, {1, 2, 1}, {{0, 2, 3}, {1, 2, 4}}});
    t.emplace_back("suw-command-center", "Command Center", "Wide centre plus 2 × 2 quads on each side (nine zones).",
                   G::superUltrawide, Grid{{1, 1}, {1, 1, 2, 1, 1}, {{0, 1, 2, 3, 4}, {5, 6, 2, 7, 8}}});
    t.emplace_back("suw-monitor-and-quads", "Monitor + Quads", "Left half as one screen, right half as four quadrants.",
                   G::superUltrawide, Grid{{1, 1}, {2, 1, 1}, {{0, 1, 2}, {0, 3, 4}}});
    t.emplace_back("suw-six", "Six Across", "Six columns for many narrow windows.", G::superUltrawide,
                   Grid{{1}, {1, 1, 1, 1, 1, 1}, {{0, 1, 2, 3, 4, 5}}});
    t.emplace_back("suw-eight", "Eight Zones", "Four columns by two rows.", G::superUltrawide,
                   Grid{{1, 1}, {1, 1, 1, 1}, {{0, 1, 2, 3}, {4, 5, 6, 7}}});
    // Laptop.
    t.emplace_back("laptop-focus", "Laptop Focus", "One zone with a little breathing room.", G::laptop,
                   std::vector<Unit>{{0.04, 0.04, 0.92, 0.92}});
    t.emplace_back("laptop-split", "Laptop Split", "Two columns, 55 / 45.", G::laptop, Grid{{1}, {11, 9}, {{0, 1}}});
    t.emplace_back("laptop-main-notes", "Main + Notes", "70 / 30 for an app and a notes window.", G::laptop,
                   Grid{{1}, {7, 3}, {{0, 1}}});
    t.emplace_back("laptop-overlap", "Overlapping Pair", "Two large zones that overlap in the middle.", G::laptop,
                   std::vector<Unit>{{0, 0, 0.62, 1}, {0.38, 0, 0.62, 1}});
    // Portrait.
    t.emplace_back("portrait-halves", "Portrait Halves", "Top and bottom.", G::portrait, Grid{{1, 1}, {1}, {{0}, {1}}});
    t.emplace_back("portrait-thirds", "Portrait Thirds", "Three stacked rows.", G::portrait,
                   Grid{{1, 1, 1}, {1}, {{0}, {1}, {2}}});
    t.emplace_back("portrait-main-bottom", "Main + Bottom", "Two thirds on top, a third below.", G::portrait,
                   Grid{{2, 1}, {1}, {{0}, {1}}});
    t.emplace_back("portrait-top-main", "Top + Main", "A third on top, two thirds below.", G::portrait,
                   Grid{{1, 2}, {1}, {{0}, {1}}});
    // 4K / 5K.
    t.emplace_back("large-nine", "Nine Grid", "A 3 × 3 grid.", G::large,
                   Grid{{1, 1, 1}, {1, 1, 1}, {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}});
    t.emplace_back("large-main-four", "Main + Four", "Big window left, 2 × 2 quadrants right.", G::large,
                   Grid{{1, 1}, {3, 1, 1}, {{0, 1, 2}, {0, 3, 4}}});
    t.emplace_back("large-dev", "Developer Triptych", "Editor full height left; browser above terminal right.",
                   G::large, Grid{{3, 2}, {1, 1}, {{0, 1}, {0, 2}}});
    t.emplace_back("large-centered-main", "Centered Main + Wings", "Wide centre with two stacked zones on each side.",
                   G::large, Grid{{1, 1}, {1, 2, 1}, {{0, 1, 2}, {3, 1, 4}}});
    // Focus & media.
    t.emplace_back("reading-column", "Reading Column", "One centred column, 56 % wide, for writing or reading.",
                   G::focus, std::vector<Unit>{{0.22, 0, 0.56, 1}});
    t.emplace_back("centered-pair", "Centered Pair", "Two columns in the middle of the screen, margins either side.",
                   G::focus, std::vector<Unit>{{0.08, 0, 0.41, 1}, {0.51, 0, 0.41, 1}});
    t.emplace_back("pip", "Picture in Picture", "Full-screen zone plus a small corner zone for a video or chat.",
                   G::focus, std::vector<Unit>{{0, 0, 1, 1}, {0.7, 0.7, 0.28, 0.28}});
    t.emplace_back("presenter", "Presenter", "Wide stage zone and a narrow notes column.", G::focus,
                   Grid{{1}, {4, 1}, {{0, 1}}});
    return t;
}

}  // namespace

std::string_view LayoutPreset::Group::rawValue() const {
    switch (value) {
        case standard: return "standard";
        case ultrawide: return "ultrawide";
        case superUltrawide: return "superUltrawide";
        case laptop: return "laptop";
        case portrait: return "portrait";
        case large: return "large";
        case focus: return "focus";
    }
    return "standard";
}

std::optional<LayoutPreset::Group> LayoutPreset::Group::fromRawValue(std::string_view text) {
    for (Case c : allCases) {
        if (Group(c).rawValue() == text) return Group(c);
    }
    return std::nullopt;
}

std::string_view LayoutPreset::Group::title() const {
    switch (value) {
        case standard: return "Standard monitors";
        case ultrawide: return "Ultrawide";
        case superUltrawide: return "Super ultrawide";
        case laptop: return "Laptop";
        case portrait: return "Portrait";
        case large: return "4K / 5K";
        case focus: return "Focus & media";
    }
    return "Standard monitors";
}

std::set<DisplayClass> LayoutPreset::Group::displayClasses() const {
    switch (value) {
        case standard: return {DisplayClass::standard};
        case ultrawide: return {DisplayClass::ultrawide};
        case superUltrawide: return {DisplayClass::superUltrawide};
        case laptop: return {DisplayClass::laptop};
        case portrait: return {DisplayClass::portrait};
        case large: return {DisplayClass::large};
        case focus:
            return {DisplayClass::standard, DisplayClass::ultrawide, DisplayClass::superUltrawide,
                    DisplayClass::laptop, DisplayClass::large};
    }
    return {};
}

LayoutPreset::LayoutPreset(std::string id, std::string name, std::string summary, Group group, GridTable grid)
    : id_(std::move(id)), name_(std::move(name)), summary_(std::move(summary)), group_(group), grid_(std::move(grid)) {}

LayoutPreset::LayoutPreset(std::string id, std::string name, std::string summary, Group group,
                           std::vector<UnitRect> canvas)
    : id_(std::move(id)), name_(std::move(name)), summary_(std::move(summary)), group_(group), canvas_(std::move(canvas)) {}

LayoutKind LayoutPreset::build() const {
    if (grid_) {
        auto grid = ZoneGrid::make(grid_->rowWeights, grid_->columnWeights, grid_->cellZones);
        // The table is fixed data that passes validation; anything else is a programming error.
        if (!grid) std::abort();
        return std::move(grid).value();
    }
    ZoneCanvas canvas{kReferenceSize, {}};
    canvas.zones.reserve(canvas_.size());
    // Scaled at build time, as computed (0.41 x 1920 is not rounded to 787.2), so that a stored body
    // compares equal to a fresh one.
    for (const UnitRect& u : canvas_) {
        canvas.zones.emplace_back(u.x * kReferenceSize.width, u.y * kReferenceSize.height, u.width * kReferenceSize.width,
                                  u.height * kReferenceSize.height);
    }
    return canvas;
}

const std::vector<LayoutPreset>& LayoutPreset::all() {
    static const std::vector<LayoutPreset> table = makeTable();
    return table;
}

const LayoutPreset* LayoutPreset::preset(std::string_view id) {
    for (const LayoutPreset& p : all()) {
        if (p.id_ == id) return &p;
    }
    return nullptr;
}

std::vector<LayoutPreset> LayoutPreset::presets(Group group) {
    std::vector<LayoutPreset> out;
    for (const LayoutPreset& p : all()) {
        if (p.group_ == group) out.push_back(p);
    }
    return out;
}

std::vector<LayoutPreset> LayoutPreset::presets(const std::set<DisplayClass>& classes) {
    std::vector<LayoutPreset> out;
    for (const LayoutPreset& p : all()) {
        if (p.group_ == Group::focus) continue;
        const auto served = p.group_.displayClasses();
        if (std::any_of(served.begin(), served.end(), [&](DisplayClass c) { return classes.contains(c); })) {
            out.push_back(p);
        }
    }
    return out;
}

ZoneLayout LayoutPreset::makeLayout(std::optional<std::string> name) const {
    LayoutKind kind = build();
    std::int64_t zoneCount = 0;
    if (const ZoneCanvas* canvas = kind.canvas()) {
        zoneCount = static_cast<std::int64_t>(canvas->zones.size());
    } else {
        std::unordered_set<std::int64_t> distinct;
        for (const auto& row : kind.grid()->cellZones) distinct.insert(row.begin(), row.end());
        zoneCount = static_cast<std::int64_t>(distinct.size());
    }
    return ZoneLayout(UUID::random(), name ? std::move(*name) : name_, std::move(kind), 8.0, 8.0,
                      ZoneLayout::Origin{LayoutTemplate::blank, zoneCount, id_}, Date::now());
}

}  // namespace tessary
