#pragma once

// The saved workspaces with their deletion tombstones: the content of "workspaces.json" and of the
// synchronised value "workspaces.v1".

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "TessaryCore/Date.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/SyncMerge.h"
#include "TessaryCore/UUID.h"
#include "TessaryCore/Workspace.h"

namespace tessary {

struct WorkspaceLibrary {
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;
    // In the order they were added; a replaced workspace keeps its place.
    std::vector<Workspace> workspaces;
    Tombstones deletedWorkspaces;

    std::optional<Workspace> workspace(const UUID& id) const;
    // The first whose name is the same text for the user: localised, ignoring letter case.
    std::optional<Workspace> workspaceNamed(std::string_view name) const;
    // Replaces the first workspace with the same identifier in its place, or appends it.
    void upsert(const Workspace& workspace);
    // Removes every workspace with the identifier and writes its tombstone (also for an unknown one);
    // by value, as deleteLayout.
    void deleteWorkspace(UUID id, Date now = Date::now());
    // The flagged workspace saved with exactly these displays, the latest changed first, the first
    // in the list on equal times.
    std::optional<Workspace> workspaceToRestore(const std::set<std::string>& displays) const;

    json::Json toJSON() const;
    static WorkspaceLibrary fromJSON(const json::Json& value);

    friend bool operator==(const WorkspaceLibrary&, const WorkspaceLibrary&) = default;
};

namespace SyncMerge {
// The local version and the generic merge of the workspaces.
WorkspaceLibrary mergeWorkspaces(const WorkspaceLibrary& local, const WorkspaceLibrary& remote);
}  // namespace SyncMerge

}  // namespace tessary
