#pragma once

// What two instances of the program that share one home (two displays of one user, a local and a
// remote session) make of each other's saves. Before an instance writes a document it merges what
// the other wrote since it last read or wrote the file, and it takes in what the other wrote as soon
// as it notices; so both saves survive, whichever comes last.
//
// The stamped items (layouts, rules, workspaces) go through the synchronisation's merge, as a peer's
// copy does: the newest change wins and tombstones delete. What carries no stamp is merged three
// ways against `base`, the file as this instance last read or wrote it: a side that left a value as
// it was in `base` takes the other's change (or deletion); where both changed it, this instance's
// wins, except in window memory, where the newer record does; a change beats a deletion. That
// covers the display assignments, the default layout, the order of the items (the user's, or the
// rules' priority), window memory's records and each key of the settings; items new since `base`
// are placed by placeNewItems. Without a base (the file was never read) nothing is taken for deleted.
//
// A base keeps only that much of the file (LayoutsBase, ItemOrder, MemoryBase): the stamped items
// decide by their stamps and need none, and an instance keeps its bases for as long as it runs.

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/RuleSet.h"
#include "TessaryCore/SyncMerge.h"
#include "TessaryCore/WindowPlacementMemory.h"
#include "TessaryCore/WorkspaceLibrary.h"

namespace tessary::HomeMerge {

// Key by key, as above. `bothChanged(ours, theirs, base)` decides a key both sides changed and both
// still hold (`base` null when it held none, or is not known).
template <typename Map, typename BothChanged>
Map threeWay(const Map& ours, const Map& theirs, const Map* base, BothChanged bothChanged) {
    using Value = typename Map::mapped_type;
    const auto find = [](const Map* map, const typename Map::key_type& key) -> const Value* {
        if (!map) return nullptr;
        const auto found = map->find(key);
        return found == map->end() ? nullptr : &found->second;
    };
    const auto same = [](const Value* a, const Value* b) { return a == b || (a && b && *a == *b); };
    Map result;
    const auto decide = [&](const typename Map::key_type& key) {
        const Value* mine = find(&ours, key);
        const Value* other = find(&theirs, key);
        const Value* was = find(base, key);
        const Value* chosen = nullptr;
        if (base && same(mine, was)) {
            chosen = other;
        } else if (base && same(other, was)) {
            chosen = mine;
        } else if (mine && other) {
            result.emplace(key, bothChanged(*mine, *other, was));
            return;
        } else {
            chosen = mine ? mine : other;
        }
        if (chosen) result.emplace(key, *chosen);
    };
    for (const auto& entry : ours) decide(entry.first);
    for (const auto& entry : theirs) {
        if (!ours.contains(entry.first)) decide(entry.first);
    }
    return result;
}

inline UUID itemID(const UUID& id) { return id; }
template <SyncItem T>
UUID itemID(const T& item) {
    return syncItemID(item);
}

// Which of the base, ours and theirs hold each identifier: one table for both ordering steps of a
// merge, as they run at every save that merges and libraries run to thousands of items.
enum ItemSide : unsigned { inBase = 1, inOurs = 2, inTheirs = 4 };
using ItemSides = std::unordered_map<UUID, unsigned>;

template <SyncItem T>
ItemSides itemSides(const std::vector<UUID>& base, const std::vector<T>& ours, const std::vector<T>& theirs) {
    ItemSides sides;
    sides.reserve(base.size() + ours.size() + theirs.size());
    for (const UUID& id : base) sides[id] |= inBase;
    for (const T& item : ours) sides[syncItemID(item)] |= inOurs;
    for (const T& item : theirs) sides[syncItemID(item)] |= inTheirs;
    return sides;
}

// When the other side alone reordered the items both hold, the merged list takes their order for
// those items; the others keep their places. `base` is the order of the items' identifiers.
template <SyncItem T>
void keepTheirOrder(std::vector<T>& merged, const std::vector<T>& ours, const std::vector<T>& theirs,
                    const std::vector<UUID>& base, const ItemSides& sides) {
    const auto holds = [&](const UUID& id, unsigned side) {
        const auto found = sides.find(id);
        return found != sides.end() && (found->second & side) != 0;
    };
    // The identifiers of `list` that `side` holds too, in `list`'s order.
    const auto common = [&](const auto& list, unsigned side) {
        std::vector<UUID> ids;
        for (const auto& item : list) {
            UUID id = itemID(item);
            if (holds(id, side)) ids.push_back(std::move(id));
        }
        return ids;
    };
    if (common(ours, inBase) != common(base, inOurs) || common(theirs, inBase) == common(base, inTheirs)) return;
    std::unordered_map<UUID, std::size_t> position;
    for (std::size_t i = 0; i < theirs.size(); ++i) position.emplace(syncItemID(theirs[i]), i);
    std::vector<std::size_t> slots;
    std::vector<T> moved;
    for (std::size_t i = 0; i < merged.size(); ++i) {
        if (position.contains(syncItemID(merged[i]))) {
            slots.push_back(i);
            // Every slot is filled again below.
            moved.push_back(std::move(merged[i]));
        }
    }
    std::stable_sort(moved.begin(), moved.end(),
                     [&](const T& a, const T& b) { return position.at(syncItemID(a)) < position.at(syncItemID(b)); });
    for (std::size_t i = 0; i < slots.size(); ++i) merged[slots[i]] = std::move(moved[i]);
}

// Items that only one side made since the base go where that side put them: before the item that
// follows them there (the end, for an item appended). Where both sides made items at the same place,
// the two runs are interleaved by stamp, then identifier, each keeping its own order: so both
// instances list them alike whichever saved first, and one that takes in the other's save ends with
// the file's order. For rules that order is their priority.
template <SyncItem T>
void placeNewItems(std::vector<T>& merged, const std::vector<T>& theirs, const ItemSides& sides) {
    const auto only = [&](const UUID& id, unsigned side) {
        const auto found = sides.find(id);
        return found != sides.end() && found->second == side;
    };
    const auto theirsAlone = [&](const UUID& id) { return only(id, inTheirs); };
    const auto oursAlone = [&](const UUID& id) { return only(id, inOurs); };
    const auto theirsMadeOne = [&](const T& item) { return theirsAlone(syncItemID(item)); };
    if (std::none_of(theirs.begin(), theirs.end(), theirsMadeOne)) return;
    std::unordered_map<UUID, std::size_t> index;
    index.reserve(merged.size());
    for (std::size_t i = 0; i < merged.size(); ++i) index.emplace(syncItemID(merged[i]), i);
    // Their new items (places in `merged`) by the item that follows them in their list (nothing: the
    // end), in their order.
    std::unordered_map<UUID, std::vector<std::size_t>> before;
    std::vector<std::size_t> run;
    for (const T& item : theirs) {
        const UUID id = syncItemID(item);
        const auto found = index.find(id);
        if (found == index.end()) continue;
        if (theirsAlone(id)) {
            run.push_back(found->second);
        } else if (!run.empty()) {
            before.emplace(id, std::move(run));
            run.clear();
        }
    }
    const std::vector<std::size_t> atEnd = std::move(run);
    if (before.empty() && atEnd.empty()) return;

    const auto earlier = [&](std::size_t a, std::size_t b) {
        const Date stampA = syncItemModifiedAt(merged[a]), stampB = syncItemModifiedAt(merged[b]);
        return stampA != stampB ? stampA < stampB
                                : syncItemID(merged[a]).uuidString() < syncItemID(merged[b]).uuidString();
    };
    // The new order as places in `merged`: most often the one it has, so nothing is moved.
    std::vector<std::size_t> order;
    order.reserve(merged.size());
    std::vector<std::size_t> ourRun;
    // Our new items just before this point, interleaved with theirs for it.
    const auto place = [&](const std::vector<std::size_t>& theirRun) {
        auto mine = ourRun.cbegin(), other = theirRun.cbegin();
        while (mine != ourRun.end() || other != theirRun.end()) {
            const bool takeMine = other == theirRun.end() || (mine != ourRun.end() && earlier(*mine, *other));
            order.push_back(takeMine ? *mine++ : *other++);
        }
        ourRun.clear();
    };
    for (std::size_t i = 0; i < merged.size(); ++i) {
        const UUID id = syncItemID(merged[i]);
        if (theirsAlone(id)) continue;
        if (oursAlone(id)) {
            ourRun.push_back(i);
            continue;
        }
        const auto found = before.find(id);
        place(found != before.end() ? found->second : std::vector<std::size_t>());
        order.push_back(i);
    }
    place(atEnd);
    bool same = true;
    for (std::size_t i = 0; i < order.size() && same; ++i) same = order[i] == i;
    if (same) return;
    std::vector<T> result;
    result.reserve(order.size());
    for (const std::size_t at : order) result.push_back(std::move(merged[at]));
    merged = std::move(result);
}

// The merged list's order: their reordering kept, then the items one side made placed. Without a
// base (a file never read) the sync merge's order stands.
template <SyncItem T>
void arrangeItems(std::vector<T>& merged, const std::vector<T>& ours, const std::vector<T>& theirs,
                  const std::vector<UUID>* base) {
    if (!base) return;
    const ItemSides sides = itemSides(*base, ours, theirs);
    keepTheirOrder(merged, ours, theirs, *base, sides);
    placeNewItems(merged, theirs, sides);
}

// The identifiers of a document's items in their order: the base of the rules and the workspaces.
struct ItemOrder {
    ItemOrder() = default;
    explicit ItemOrder(const RuleSet& ruleSet);
    explicit ItemOrder(const WorkspaceLibrary& library);
    template <SyncItem T>
    explicit ItemOrder(const std::vector<T>& items) {
        ids.reserve(items.size());
        for (const T& item : items) ids.push_back(syncItemID(item));
    }

    std::vector<UUID> ids;
};

// The base of the layouts: their order, the assignments and the default.
struct LayoutsBase {
    LayoutsBase() = default;
    explicit LayoutsBase(const LayoutLibrary& library);

    ItemOrder order;
    std::map<std::string, UUID> assignments;
    std::optional<UUID> defaultLayoutID;
};

// The base of window memory: every record, as the file's text. Kept as the store read or wrote it,
// it costs a save nothing (the memory holds at most 400 windows: some 140 kB); it is decoded only
// for a merge.
struct MemoryBase {
    MemoryBase() = default;
    explicit MemoryBase(const WindowPlacementMemory& memory);
    MemoryBase(const WindowPlacementMemory&, std::string fileText) : text(std::move(fileText)) {}

    std::string text;
};

LayoutLibrary layouts(const LayoutLibrary& ours, const LayoutLibrary& theirs, const LayoutsBase* base);
RuleSet rules(const RuleSet& ours, const RuleSet& theirs, const ItemOrder* base);
WorkspaceLibrary workspaces(const WorkspaceLibrary& ours, const WorkspaceLibrary& theirs, const ItemOrder* base);
WindowPlacementMemory memory(const WindowPlacementMemory& ours, const WindowPlacementMemory& theirs,
                             const MemoryBase* base);

}  // namespace tessary::HomeMerge
