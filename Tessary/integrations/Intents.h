#pragma once

// The seven actions other programs and scripts run in the running program: snap the front window,
// apply a layout, restore or save a workspace, restore windows to their zones, apply the placement
// rules and show the zones. They hold no services: each perform() reads IntentServices on the main
// loop, checks everything before it touches a library (so a failure changes nothing) and runs to
// its end without waiting. A failure is an IntentFailure whose message is shown to the user as it
// is. Before the handles are set the snap and save actions fail with "Tessary is not running.",
// apply-layout with "Layout not found.", restore-workspace with "Workspace not found.", and the
// three commands succeed without effect.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Tessary/integrations/Entities.h"
#include "TessaryCore/Expected.h"

namespace tessary {

struct IntentFailure {
    // Already in the user's language.
    std::string message;

    const std::string& errorDescription() const { return message; }

    friend bool operator==(const IntentFailure&, const IntentFailure&) = default;
};

template <typename T = void>
using IntentResult = Expected<T, IntentFailure>;

struct SnapFrontWindowIntent {
    static constexpr std::string_view title = "Snap Front Window to Zone";
    static constexpr std::int64_t minimumZone = 1;
    static constexpr std::int64_t maximumZone = 20;

    std::int64_t zone = 1;

    // "Snap the front window to zone " and the zone.
    static std::string summary(std::string_view zone);
    std::string parameterSummary() const { return summary(std::to_string(zone)); }
    IntentResult<> perform() const;
};

struct ApplyLayoutIntent {
    static constexpr std::string_view title = "Apply Layout";

    LayoutEntity layout;
    // Every connected display when not given.
    std::optional<DisplayEntity> display;

    // "Apply " the layout " on " the display.
    static std::string summary(std::string_view layout, std::string_view display);
    std::string parameterSummary() const { return summary(layout.name, display ? display->name : ""); }
    IntentResult<> perform() const;
};

struct RestoreWorkspaceIntent {
    static constexpr std::string_view title = "Restore Workspace";

    WorkspaceEntity workspace;

    static std::string summary(std::string_view workspace);
    std::string parameterSummary() const { return summary(workspace.name); }
    // The number of windows moved.
    IntentResult<std::int64_t> perform() const;
};

struct SaveWorkspaceIntent {
    static constexpr std::string_view title = "Save Workspace";

    // As given, not trimmed.
    std::string name;

    static std::string summary(std::string_view name);
    std::string parameterSummary() const { return summary(name); }
    IntentResult<> perform() const;
};

struct RestoreWindowsToZonesIntent {
    static constexpr std::string_view title = "Restore Windows to Zones";
    IntentResult<> perform() const;
};

struct ApplyRulesIntent {
    static constexpr std::string_view title = "Apply Placement Rules";
    IntentResult<> perform() const;
};

struct ShowZonesIntent {
    static constexpr std::string_view title = "Show Zones";
    IntentResult<> perform() const;
};

// The three actions offered to desktop launchers, in order: the command-line verb that runs each
// and its short title.
struct TessaryShortcut {
    std::string_view verb;
    std::string_view shortTitle;
    std::string_view intentTitle;
};
inline constexpr std::array<TessaryShortcut, 3> tessaryShortcuts = {{
    {"show-zones", "Show Zones", ShowZonesIntent::title},
    {"restore-windows", "Restore Windows", RestoreWindowsToZonesIntent::title},
    {"apply-rules", "Apply Rules", ApplyRulesIntent::title},
}};

}  // namespace tessary
