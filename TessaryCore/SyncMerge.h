#pragma once

// What synchronised items share and the newest-wins merge of two copies of a document's items.
// Each document's own merge (layouts, rules, workspaces) sits beside that document and extends the
// SyncMerge namespace.
//
// The merge converges: whichever machine runs it, with whichever copy as its own, the same items
// and tombstones come out. Stamps decide first; two different copies with the same stamp are
// decided by their content (the larger encoded form wins), never by which side is local; a
// tombstone at least as new as an item deletes it on both sides alike.

#include <concepts>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "TessaryCore/Date.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/UUID.h"

namespace tessary {

// Deletion tombstones: the upper-case text form of a deleted item's identifier to the time of its
// deletion. Kept sorted, as the documents write them.
using Tombstones = std::map<std::string, Date>;

// An item that synchronises: an identifier and the time of its last change, each offered either as a
// data member or as an accessor (a layout rounds its stamp when set, so it keeps it behind one); its
// equality and its JSON form decide between two copies with the same stamp.
template <typename T>
concept SyncItem = std::copy_constructible<T> && std::equality_comparable<T> &&
                   requires(const T& item) { { item.toJSON() } -> std::convertible_to<json::Json>; } &&
                   (requires(const T& item) { { item.id } -> std::convertible_to<UUID>; } ||
                    requires(const T& item) { { item.id() } -> std::convertible_to<UUID>; }) &&
                   (requires(const T& item) { { item.modifiedAt } -> std::convertible_to<Date>; } ||
                    requires(const T& item) { { item.modifiedAt() } -> std::convertible_to<Date>; });

template <SyncItem T>
UUID syncItemID(const T& item) {
    if constexpr (requires { { item.id() } -> std::convertible_to<UUID>; }) {
        return item.id();
    } else {
        return item.id;
    }
}

template <SyncItem T>
Date syncItemModifiedAt(const T& item) {
    if constexpr (requires { { item.modifiedAt() } -> std::convertible_to<Date>; }) {
        return item.modifiedAt();
    } else {
        return item.modifiedAt;
    }
}

namespace SyncMerge {

template <SyncItem T>
struct Merged {
    std::vector<T> items;
    Tombstones tombstones;
};

// The time a deletion stores: the later of the deleted item's last change (the distant past when
// there is none) and the current time rounded to whole milliseconds, so that a deletion always
// beats the version it deleted, even when this machine's clock runs behind.
Date tombstone(std::optional<Date> modifiedAt, Date now);

// The time an edit of an item stores: the current time, or 1 ms after the version it replaces
// when that lies ahead of this machine's clock (a peer whose clock runs ahead made it). The merge
// compares stamps only, so an edit stamped before what it edits would lose to it on every machine.
Date editStamp(Date replaced, Date now);

// The form a tie between two copies is decided by: the item's compact JSON, the same text on every
// machine. An item that cannot be encoded (a non-finite number made in memory) gives nothing, and
// so loses to any copy that can.
template <SyncItem T>
std::string tieBreakForm(const T& item) {
    try {
        return json::dumpCompact(item.toJSON());
    } catch (const json::EncodingError&) {
    } catch (const json::Json::exception&) {
    }
    return {};
}

// Whether `challenger` replaces `held`, two different copies of one item with the same stamp.
template <SyncItem T>
bool winsTie(const T& challenger, const T& held) {
    return !(challenger == held) && tieBreakForm(challenger) > tieBreakForm(held);
}

// Merges the local and the remote copy: per identifier the strictly newer change wins; between a
// local and a remote copy with the same stamp, the local one when they are equal, else the one
// whose encoded form is larger (winsTie), so both machines keep the same; within one list the
// first of several copies with the same stamp. A tombstone at least as new as the chosen item
// drops it; a surviving item removes its tombstone. The local order comes first, then the items
// only the remote copy has, in its order.
template <SyncItem T>
Merged<T> merge(const std::vector<T>& localItems, const Tombstones& localTombstones,
                const std::vector<T>& remoteItems, const Tombstones& remoteTombstones) {
    Merged<T> result;
    result.tombstones = localTombstones;
    for (const auto& [key, date] : remoteTombstones) {
        const auto [it, inserted] = result.tombstones.emplace(key, date);
        if (!inserted && date > it->second) it->second = date;
    }

    struct Choice {
        const T* item;
        bool remote;
    };
    std::vector<UUID> order;
    std::unordered_map<UUID, Choice> chosen;
    order.reserve(localItems.size() + remoteItems.size());
    const auto consider = [&](const T& item, bool remote) {
        const UUID id = syncItemID(item);
        const auto [it, inserted] = chosen.emplace(id, Choice{&item, remote});
        if (inserted) {
            order.push_back(id);
            return;
        }
        const T& held = *it->second.item;
        const Date stamp = syncItemModifiedAt(item);
        const Date heldStamp = syncItemModifiedAt(held);
        if (stamp > heldStamp || (stamp == heldStamp && remote && !it->second.remote && winsTie(item, held))) {
            it->second = Choice{&item, remote};
        }
    };
    for (const T& item : localItems) consider(item, false);
    for (const T& item : remoteItems) consider(item, true);

    for (const UUID& id : order) {
        const T& item = *chosen.at(id).item;
        const std::string key = id.uuidString();
        const auto stone = result.tombstones.find(key);
        if (stone != result.tombstones.end()) {
            if (stone->second >= syncItemModifiedAt(item)) continue;
            result.tombstones.erase(stone);
        }
        result.items.push_back(item);
    }
    return result;
}

}  // namespace SyncMerge

// Reads and writes a tombstone map: an object of identifier texts to dates. A missing key or null
// is no tombstones.
json::Json encodeTombstones(const Tombstones& tombstones);
Tombstones decodeTombstones(const json::Json& object, std::string_view key);

}  // namespace tessary
