#include "TessaryCore/LayoutLibrary.h"

#include <algorithm>
#include <unordered_set>

namespace tessary {

LayoutLibrary LayoutLibrary::starter() {
    LayoutLibrary library;
    library.layouts = {
        ZoneLayout(LayoutTemplate::columns, 2),
        ZoneLayout(LayoutTemplate::columns, 3, "Three Columns"),
        ZoneLayout(LayoutTemplate::priorityGrid, 3),
        ZoneLayout(LayoutTemplate::grid, 4),
        ZoneLayout(LayoutTemplate::rows, 2),
        ZoneLayout(LayoutTemplate::focus, 3),
    };
    library.defaultLayoutID = library.layouts[2].id;
    return library;
}

const std::map<std::string, ZoneLayout::Origin>& LayoutLibrary::starterOrigins() {
    static const std::map<std::string, ZoneLayout::Origin> origins{
        {"Columns", {LayoutTemplate::columns, 2, std::nullopt}},
        {"Three Columns", {LayoutTemplate::columns, 3, std::nullopt}},
        {"Priority Grid", {LayoutTemplate::priorityGrid, 3, std::nullopt}},
        {"Grid", {LayoutTemplate::grid, 4, std::nullopt}},
        {"Rows", {LayoutTemplate::rows, 2, std::nullopt}},
        {"Focus", {LayoutTemplate::focus, 3, std::nullopt}},
    };
    return origins;
}

std::optional<ZoneLayout> LayoutLibrary::layout(const UUID& id) const {
    const auto it = std::find_if(layouts.begin(), layouts.end(), [&](const ZoneLayout& l) { return l.id == id; });
    if (it == layouts.end()) return std::nullopt;
    return *it;
}

std::optional<ZoneLayout> LayoutLibrary::layout(const DisplayKey& key) const {
    if (const auto it = assignments.find(key.description()); it != assignments.end()) {
        if (auto assigned = layout(it->second)) return assigned;
    }
    if (defaultLayoutID) {
        if (auto fallback = layout(*defaultLayoutID)) return fallback;
    }
    if (layouts.empty()) return std::nullopt;
    return layouts.front();
}

void LayoutLibrary::assign(const UUID& layoutID, const DisplayKey& key) { assignments[key.description()] = layoutID; }

void LayoutLibrary::upsert(const ZoneLayout& layout) {
    const auto it = std::find_if(layouts.begin(), layouts.end(), [&](const ZoneLayout& l) { return l.id == layout.id; });
    if (it != layouts.end()) {
        *it = layout;
    } else {
        layouts.push_back(layout);
    }
}

void LayoutLibrary::deleteLayout(const UUID& id, Date now) {
    const auto it = std::find_if(layouts.begin(), layouts.end(), [&](const ZoneLayout& l) { return l.id == id; });
    const std::optional<Date> modifiedAt = it != layouts.end() ? std::optional<Date>(it->modifiedAt()) : std::nullopt;
    std::erase_if(layouts, [&](const ZoneLayout& l) { return l.id == id; });
    deletedLayouts[id.uuidString()] = SyncMerge::tombstone(modifiedAt, now);
    std::erase_if(assignments, [&](const auto& entry) { return entry.second == id; });
    if (defaultLayoutID == id) {
        defaultLayoutID = layouts.empty() ? std::nullopt : std::optional<UUID>(layouts.front().id);
    }
}

bool LayoutLibrary::refreshPresetLayouts() {
    bool changed = false;
    for (ZoneLayout& layout : layouts) {
        if (layout.origin) continue;
        if (auto origin = layout.inferredOrigin()) {
            layout.origin = std::move(origin);
            changed = true;
        }
    }
    return changed;
}

json::Json LayoutLibrary::toJSON() const {
    json::Json assigned = json::Json::object();
    for (const auto& [key, id] : assignments) assigned[key] = id.toJSON();
    json::Json out = json::Json::object();
    out["version"] = version;
    out["layouts"] = json::encodeArray(layouts);
    out["assignments"] = std::move(assigned);
    out["deletedLayouts"] = encodeTombstones(deletedLayouts);
    if (defaultLayoutID) out["defaultLayoutID"] = defaultLayoutID->toJSON();
    return out;
}

LayoutLibrary LayoutLibrary::fromJSON(const json::Json& value) {
    LayoutLibrary library;
    library.version = json::requireInt64(value, "version");
    library.layouts = json::requireArray<ZoneLayout>(value, "layouts");
    if (const json::Json* assigned = json::optional(value, "assignments")) {
        for (const auto& [key, id] : json::asObject(*assigned, "assignments").items()) {
            library.assignments.emplace(key, UUID::fromJSON(id));
        }
    }
    if (const json::Json* id = json::optional(value, "defaultLayoutID")) library.defaultLayoutID = UUID::fromJSON(*id);
    library.deletedLayouts = decodeTombstones(value, "deletedLayouts");
    return library;
}

LayoutLibrary SyncMerge::mergeLayouts(const LayoutLibrary& local, const LayoutLibrary& remote) {
    LayoutLibrary result = local;
    auto merged = merge(local.layouts, local.deletedLayouts, remote.layouts, remote.deletedLayouts);
    result.layouts = std::move(merged.items);
    result.deletedLayouts = std::move(merged.tombstones);

    std::unordered_set<UUID> surviving;
    for (const ZoneLayout& layout : result.layouts) surviving.insert(layout.id);
    const auto survives = [&](const std::optional<UUID>& id) { return id && surviving.contains(*id); };

    result.assignments = remote.assignments;
    for (const auto& [key, id] : local.assignments) result.assignments[key] = id;
    std::erase_if(result.assignments, [&](const auto& entry) { return !surviving.contains(entry.second); });

    if (survives(local.defaultLayoutID)) {
        result.defaultLayoutID = local.defaultLayoutID;
    } else if (survives(remote.defaultLayoutID)) {
        result.defaultLayoutID = remote.defaultLayoutID;
    } else if (!result.layouts.empty()) {
        result.defaultLayoutID = result.layouts.front().id;
    } else {
        result.defaultLayoutID = std::nullopt;
    }
    return result;
}

}  // namespace tessary
