#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "TessaryCore/Date.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/UUID.h"
#include "TessaryCore/WorkspaceEntry.h"

namespace tessary {

// A named, saved arrangement of windows.
struct Workspace {
    UUID id;
    std::string name;
    // The saved windows, in capture order.
    std::vector<WorkspaceEntry> entries;
    // The displays connected when it was saved.
    std::set<std::string> displayIdentifiers;
    // Restore it by itself when exactly these displays are connected.
    bool restoresWhenDisplaysMatch = false;
    // A restore launches the applications of entries that have no open window.
    bool launchesMissingApps = false;
    // Whoever changes a workspace sets this; the setters never do.
    Date modifiedAt;

    Workspace() = default;
    // Stores the time rounded to whole milliseconds.
    Workspace(UUID id, std::string name, std::vector<WorkspaceEntry> entries, std::set<std::string> displayIdentifiers,
              bool restoresWhenDisplaysMatch, bool launchesMissingApps, Date modifiedAt);

    // The distinct applications of the entries, first appearance first.
    std::vector<std::string> bundleIDs() const;

    json::Json toJSON() const;
    static Workspace fromJSON(const json::Json& value);

    friend bool operator==(const Workspace&, const Workspace&) = default;
};

}  // namespace tessary

template <>
struct std::hash<tessary::Workspace> {
    std::size_t operator()(const tessary::Workspace& workspace) const noexcept;
};
