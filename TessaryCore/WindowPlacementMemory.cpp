#include "TessaryCore/WindowPlacementMemory.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "TessaryCore/UnicodeText.h"

namespace tessary {

namespace {

using Entries = std::map<std::string, WindowPlacement>;

json::Json encodePlacements(const Entries& entries) {
    json::Json object(json::Json::value_t::object);
    auto& members = object.get_ref<json::Json::object_t&>();
    for (const auto& [key, placement] : entries) members.emplace_hint(members.end(), key, placement.toJSON());
    return object;
}

Entries decodePlacements(const json::Json& object, std::string_view key) {
    Entries entries;
    for (const auto& [name, value] : json::asObject(json::require(object, key), key).items()) {
        entries.emplace_hint(entries.end(), name, WindowPlacement::fromJSON(value));
    }
    return entries;
}

// Newest first; a stamp that is not a number counts as the oldest, so the order stays strict.
bool newerThan(const Entries::const_iterator& a, const Entries::const_iterator& b) {
    const double ta = a->second.updatedAt.secondsSinceReferenceDate();
    const double tb = b->second.updatedAt.secondsSinceReferenceDate();
    const double ka = std::isnan(ta) ? -INFINITY : ta;
    const double kb = std::isnan(tb) ? -INFINITY : tb;
    if (ka != kb) return ka > kb;
    return a->first < b->first;
}

}  // namespace

std::optional<std::string> WindowPlacementMemory::windowKey(std::string_view bundleID,
                                                            const std::optional<std::string>& title) {
    if (!title || title->empty()) return std::nullopt;
    return validUTF8(bundleID) + keySeparator + validUTF8(*title);
}

void WindowPlacementMemory::record(const WindowPlacement& placement, std::string_view bundleID,
                                   const std::optional<std::string>& title) {
    WindowPlacement stored = placement;
    stored.displayKey = validUTF8(stored.displayKey);
    byApp[validUTF8(bundleID)] = stored;
    if (const auto key = windowKey(bundleID, title)) {
        byWindow[*key] = stored;
        pruneKeeping(&*key);
    }
}

void WindowPlacementMemory::prune() { pruneKeeping(nullptr); }

void WindowPlacementMemory::pruneKeeping(const std::string* keep) {
    if (byWindow.size() <= maxWindowEntries) return;
    std::vector<Entries::const_iterator> order;
    order.reserve(byWindow.size());
    const auto kept = keep ? byWindow.find(*keep) : byWindow.end();
    for (auto it = byWindow.cbegin(); it != byWindow.cend(); ++it) {
        if (it != kept) order.push_back(it);
    }
    // The entry just recorded stays even when a clock set back made it the oldest.
    const std::size_t room = kept == byWindow.end() ? maxWindowEntries : maxWindowEntries - 1;
    std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(room), order.end(), newerThan);
    for (auto it = order.begin() + static_cast<std::ptrdiff_t>(room); it != order.end(); ++it) byWindow.erase(*it);
}

std::optional<WindowPlacement> WindowPlacementMemory::windowPlacement(std::string_view bundleID,
                                                                      const std::optional<std::string>& title) const {
    const auto key = windowKey(bundleID, title);
    if (!key) return std::nullopt;
    const auto it = byWindow.find(*key);
    if (it == byWindow.end()) return std::nullopt;
    return it->second;
}

std::optional<WindowPlacement> WindowPlacementMemory::placement(std::string_view bundleID,
                                                                const std::optional<std::string>& title) const {
    if (auto own = windowPlacement(bundleID, title)) return own;
    const auto it = byApp.find(validUTF8(bundleID));
    if (it == byApp.end()) return std::nullopt;
    return it->second;
}

std::optional<WindowPlacement> WindowPlacementMemory::placement(const std::function<bool(std::string_view)>& isApplication,
                                                                const std::optional<std::string>& title,
                                                                bool appLevel) const {
    std::optional<WindowPlacement> own;
    std::optional<WindowPlacement> application;
    const auto newer = [](const std::optional<WindowPlacement>& kept, const WindowPlacement& found) {
        return !kept || found.updatedAt > kept->updatedAt;
    };
    for (const auto& [bundleID, placement] : byApp) {
        if (!isApplication(bundleID)) continue;
        if (auto window = windowPlacement(bundleID, title); window && newer(own, *window)) own = std::move(window);
        if (newer(application, placement)) application = placement;
    }
    if (own || !appLevel) return own;
    return application;
}

bool WindowPlacementMemory::forgetWindow(std::string_view bundleID, const std::optional<std::string>& title) {
    const auto key = windowKey(bundleID, title);
    return key && byWindow.erase(*key) > 0;
}

void WindowPlacementMemory::forgetApp(std::string_view bundleID) {
    const std::string application = validUTF8(bundleID);
    byApp.erase(application);
    const std::string prefix = application + keySeparator;
    // The keys with this prefix are one contiguous run of the sorted map.
    auto it = byWindow.lower_bound(prefix);
    while (it != byWindow.end() && it->first.compare(0, prefix.size(), prefix) == 0) it = byWindow.erase(it);
}

json::Json WindowPlacementMemory::toJSON() const {
    return json::Json{{"version", version}, {"byWindow", encodePlacements(byWindow)}, {"byApp", encodePlacements(byApp)}};
}

WindowPlacementMemory WindowPlacementMemory::fromJSON(const json::Json& value) {
    WindowPlacementMemory memory;
    memory.version = json::requireInt64(value, "version");
    memory.byWindow = decodePlacements(value, "byWindow");
    memory.byApp = decodePlacements(value, "byApp");
    return memory;
}

}  // namespace tessary

