#include "TessaryCore/WorkspaceLibrary.h"

#include <algorithm>

#include "TessaryCore/UnicodeText.h"

namespace tessary {

std::optional<Workspace> WorkspaceLibrary::workspace(const UUID& id) const {
    const auto it = std::find_if(workspaces.begin(), workspaces.end(), [&](const Workspace& w) { return w.id == id; });
    if (it == workspaces.end()) return std::nullopt;
    return *it;
}

std::optional<Workspace> WorkspaceLibrary::workspaceNamed(std::string_view name) const {
    for (const Workspace& candidate : workspaces) {
        if (localizedCaseInsensitiveEqual(candidate.name, name)) return candidate;
    }
    return std::nullopt;
}

void WorkspaceLibrary::upsert(const Workspace& workspace) {
    const auto it =
        std::find_if(workspaces.begin(), workspaces.end(), [&](const Workspace& w) { return w.id == workspace.id; });
    if (it != workspaces.end()) {
        *it = workspace;
    } else {
        workspaces.push_back(workspace);
    }
}

void WorkspaceLibrary::deleteWorkspace(UUID id, Date now) {
    const auto it = std::find_if(workspaces.begin(), workspaces.end(), [&](const Workspace& w) { return w.id == id; });
    const std::optional<Date> modifiedAt = it != workspaces.end() ? std::optional<Date>(it->modifiedAt) : std::nullopt;
    std::erase_if(workspaces, [&](const Workspace& w) { return w.id == id; });
    deletedWorkspaces[id.uuidString()] = SyncMerge::tombstone(modifiedAt, now);
}

std::optional<Workspace> WorkspaceLibrary::workspaceToRestore(const std::set<std::string>& displays) const {
    const Workspace* best = nullptr;
    for (const Workspace& candidate : workspaces) {
        if (!candidate.restoresWhenDisplaysMatch || candidate.displayIdentifiers != displays) continue;
        if (!best || candidate.modifiedAt > best->modifiedAt) best = &candidate;
    }
    if (!best) return std::nullopt;
    return *best;
}

json::Json WorkspaceLibrary::toJSON() const {
    return json::Json{{"version", version},
                      {"workspaces", json::encodeArray(workspaces)},
                      {"deletedWorkspaces", encodeTombstones(deletedWorkspaces)}};
}

WorkspaceLibrary WorkspaceLibrary::fromJSON(const json::Json& value) {
    WorkspaceLibrary library;
    library.version = json::requireInt64(value, "version");
    library.workspaces = json::requireArray<Workspace>(value, "workspaces");
    library.deletedWorkspaces = decodeTombstones(value, "deletedWorkspaces");
    return library;
}

WorkspaceLibrary SyncMerge::mergeWorkspaces(const WorkspaceLibrary& local, const WorkspaceLibrary& remote) {
    auto merged = merge(local.workspaces, local.deletedWorkspaces, remote.workspaces, remote.deletedWorkspaces);
    WorkspaceLibrary result;
    result.version = local.version;
    result.workspaces = std::move(merged.items);
    result.deletedWorkspaces = std::move(merged.tombstones);
    return result;
}

}  // namespace tessary
