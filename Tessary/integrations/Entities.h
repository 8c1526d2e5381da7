#pragma once

// What the command-line actions take as parameters: layouts, saved workspaces and displays, as
// small snapshots (an identifier and the texts a user picks them by), and the queries that list
// them and resolve stored identifiers back into them. Every call reads the live library or display
// list through IntentServices; before the handles are set the layout and workspace queries find
// nothing, while the display query already answers.
//
// entities(for:) keeps the source order, not the order asked; an identifier asked twice gives its
// item once; an identifier that matches nothing is left out. A display is identified by its stable
// identifier alone, so it resolves again after a change of resolution.

#include <cstdint>
#include <string>
#include <vector>

#include "TessaryCore/UUID.h"

namespace tessary {

struct LayoutEntity {
    static constexpr std::string_view typeDisplayName = "Layout";

    UUID id;
    std::string name;
    // The layout's zone count when the entity was made.
    std::int64_t zoneCount = 0;

    const std::string& title() const { return name; }
    // "%lld zones" with the count (there is no separate singular).
    std::string subtitle() const;

    friend bool operator==(const LayoutEntity&, const LayoutEntity&) = default;
};

struct WorkspaceEntity {
    static constexpr std::string_view typeDisplayName = "Workspace";

    UUID id;
    std::string name;

    const std::string& title() const { return name; }

    friend bool operator==(const WorkspaceEntity&, const WorkspaceEntity&) = default;
};

struct DisplayEntity {
    static constexpr std::string_view typeDisplayName = "Display";

    // The display's stable identifier.
    std::string id;
    // The display's name as the desktop gives it.
    std::string name;

    const std::string& title() const { return name; }

    friend bool operator==(const DisplayEntity&, const DisplayEntity&) = default;
};

struct LayoutQuery {
    std::vector<LayoutEntity> entities(const std::vector<UUID>& identifiers) const;
    // Every layout, in library order.
    std::vector<LayoutEntity> suggestedEntities() const;
};

struct WorkspaceQuery {
    std::vector<WorkspaceEntity> entities(const std::vector<UUID>& identifiers) const;
    // Every workspace, in library order.
    std::vector<WorkspaceEntity> suggestedEntities() const;
};

struct DisplayQuery {
    // Exact, case-sensitive identifiers; two connected displays with the same one both match.
    std::vector<DisplayEntity> entities(const std::vector<std::string>& identifiers) const;
    // Every connected display, in the desktop's order.
    std::vector<DisplayEntity> suggestedEntities() const;
};

}  // namespace tessary
