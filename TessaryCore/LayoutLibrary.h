#pragma once

// The user's layouts as one value: the layouts, the layout each display arrangement uses, the
// default for the others, and the tombstones of deleted layouts. The content of "layouts.json" and
// of the synchronised value "layouts.v1".

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TessaryCore/Date.h"
#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/SyncMerge.h"
#include "TessaryCore/UUID.h"
#include "TessaryCore/ZoneLayout.h"

namespace tessary {

struct LayoutLibrary {
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;
    // In the user's order; operations act on the first layout with a given identifier.
    std::vector<ZoneLayout> layouts;
    // Display-key text ("ID@WxH") to layout identifier. May point at layouts that no longer exist.
    std::map<std::string, UUID> assignments;
    std::optional<UUID> defaultLayoutID;
    Tombstones deletedLayouts;

    // When every starter layout was last changed, on every machine: 2001-01-01T00:00:00.000Z. Any
    // edit or deletion a user makes is stamped later (SyncMerge::editStamp, SyncMerge::tombstone),
    // so a profile's untouched starters never undo it when that profile first synchronises.
    static constexpr Date starterModifiedAt = Date(0);

    // What a new user starts with: Columns, Three Columns, Priority Grid (the default), Grid, Rows
    // and Focus, with the same identifiers and stamp on every call and every machine.
    static LayoutLibrary starter();
    // The origins of the starter layouts by their English names, for layouts stored without one.
    static const std::map<std::string, ZoneLayout::Origin>& starterOrigins();

    std::optional<ZoneLayout> layout(const UUID& id) const;
    // The assigned layout, else the default, else the first; nothing only for an empty library.
    std::optional<ZoneLayout> layout(const DisplayKey& key) const;
    // Assigns the layout to the display arrangement, replacing any earlier assignment.
    void assign(const UUID& layoutID, const DisplayKey& key);
    // Replaces the first layout with the same identifier in its place, or appends it; stored as given.
    void upsert(const ZoneLayout& layout);
    // Removes every layout with the identifier, writes its tombstone (also for an unknown identifier),
    // drops the assignments to it and hands the default to the first remaining layout. The identifier
    // is a copy: one read from the library itself would change as the layouts after it move up.
    void deleteLayout(UUID id, Date now = Date::now());
    // Gives an origin to every layout stored without one where one can be inferred; true when any got one.
    bool refreshPresetLayouts();

    // A non-finite number anywhere in a layout is an EncodingError, never a null in the document.
    json::Json toJSON() const;
    static LayoutLibrary fromJSON(const json::Json& value);

    friend bool operator==(const LayoutLibrary&, const LayoutLibrary&) = default;
};

namespace SyncMerge {
// The generic merge of the layouts; assignments from both copies (local winning) that still point
// at a surviving layout; the local default if it survives, else the remote one, else the first layout.
LayoutLibrary mergeLayouts(const LayoutLibrary& local, const LayoutLibrary& remote);
}  // namespace SyncMerge

}  // namespace tessary
