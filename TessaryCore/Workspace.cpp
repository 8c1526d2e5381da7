#include "TessaryCore/Workspace.h"

#include <algorithm>

#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/UnicodeText.h"

namespace tessary {

Workspace::Workspace(UUID id, std::string name, std::vector<WorkspaceEntry> entries,
                     std::set<std::string> displayIdentifiers, bool restoresWhenDisplaysMatch, bool launchesMissingApps,
                     Date modifiedAt)
    : id(id),
      name(validUTF8(name)),
      entries(std::move(entries)),
      restoresWhenDisplaysMatch(restoresWhenDisplaysMatch),
      launchesMissingApps(launchesMissingApps),
      modifiedAt(modifiedAt.roundedToMilliseconds()) {
    for (const std::string& display : displayIdentifiers) this->displayIdentifiers.insert(validUTF8(display));
}

std::vector<std::string> Workspace::bundleIDs() const {
    std::vector<std::string> ids;
    for (const WorkspaceEntry& entry : entries) {
        if (std::find(ids.begin(), ids.end(), entry.bundleID) == ids.end()) ids.push_back(entry.bundleID);
    }
    return ids;
}

json::Json Workspace::toJSON() const {
    json::Json displays = json::Json::array();
    // Sorted, so that equal workspaces give identical text.
    for (const std::string& display : displayIdentifiers) displays.push_back(display);
    return json::Json{{"id", id.toJSON()},
                      {"name", name},
                      {"entries", json::encodeArray(entries)},
                      {"displayIdentifiers", displays},
                      {"restoresWhenDisplaysMatch", restoresWhenDisplaysMatch},
                      {"launchesMissingApps", launchesMissingApps},
                      {"modifiedAt", modifiedAt.toJSON()}};
}

Workspace Workspace::fromJSON(const json::Json& value) {
    Workspace workspace;
    workspace.id = UUID::fromJSON(json::require(value, "id"));
    workspace.name = json::requireString(value, "name");
    workspace.entries = json::requireArray<WorkspaceEntry>(value, "entries");
    for (std::string& display : json::asStringArray(json::require(value, "displayIdentifiers"), "displayIdentifiers")) {
        workspace.displayIdentifiers.insert(std::move(display));
    }
    workspace.restoresWhenDisplaysMatch = json::requireBool(value, "restoresWhenDisplaysMatch");
    workspace.launchesMissingApps = json::requireBool(value, "launchesMissingApps");
    workspace.modifiedAt = Date::fromJSON(json::require(value, "modifiedAt"));
    return workspace;
}

}  // namespace tessary

std::size_t std::hash<tessary::Workspace>::operator()(const tessary::Workspace& workspace) const noexcept {
    std::size_t seed = std::hash<tessary::UUID>{}(workspace.id);
    tessary::hashCombine(seed, std::hash<std::string>{}(workspace.name));
    tessary::hashCombine(seed, std::hash<std::size_t>{}(workspace.entries.size()));
    for (const auto& entry : workspace.entries) tessary::hashCombine(seed, std::hash<tessary::WorkspaceEntry>{}(entry));
    for (const auto& display : workspace.displayIdentifiers) {
        tessary::hashCombine(seed, std::hash<std::string>{}(display));
    }
    tessary::hashCombine(seed, std::hash<bool>{}(workspace.restoresWhenDisplaysMatch));
    tessary::hashCombine(seed, std::hash<bool>{}(workspace.launchesMissingApps));
    tessary::hashCombine(seed, std::hash<tessary::Date>{}(workspace.modifiedAt));
    return seed;
}
