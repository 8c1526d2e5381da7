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
    // The same identifiers on every machine, so that two new profiles sharing a sync folder merge
    // to one set instead of listing each starter twice. Fixed forever: stored libraries name them.
    static const UUID identifiers[] = {
        UUID(UUID::Bytes{0x8b, 0xfc, 0xfa, 0x43, 0x3f, 0x3d, 0x4c, 0x4f, 0xa1, 0x6b, 0xc9, 0xae, 0x92, 0xf9, 0xad, 0x98}),
        UUID(UUID::Bytes{0x7b, 0x71, 0x11, 0x60, 0x05, 0x18, 0x4d, 0x47, 0x96, 0x3a, 0x97, 0x88, 0xe9, 0xe5, 0x5f, 0x35}),
        UUID(UUID::Bytes{0x92, 0xb2, 0xb3, 0xee, 0x64, 0x44, 0x40, 0xd9, 0x9d, 0x13, 0x44, 0x49, 0xd2, 0xa7, 0x87, 0xdd}),
        UUID(UUID::Bytes{0x20, 0x37, 0xab, 0x08, 0xaf, 0x00, 0x4a, 0x6e, 0xb1, 0x30, 0x71, 0x1b, 0xb5, 0xd3, 0x0f, 0x9b}),
        UUID(UUID::Bytes{0x35, 0xd7, 0xb7, 0x15, 0xda, 0xac, 0x4e, 0x82, 0xb9, 0xf6, 0xcb, 0xe5, 0x6d, 0x33, 0x21, 0x53}),
        UUID(UUID::Bytes{0x6c, 0x53, 0xd2, 0x67, 0x4f, 0xdb, 0x4b, 0xb2, 0x84, 0xb6, 0x4e, 0x08, 0x2a, 0xa9, 0x15, 0xaf}),
    };
    for (std::size_t i = 0; i < library.layouts.size(); ++i) {
        library.layouts[i].id = identifiers[i];
        library.layouts[i].setModifiedAt(starterModifiedAt);
    }
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

void LayoutLibrary::deleteLayout(UUID id, Date now) {
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
