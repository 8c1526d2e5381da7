#include "TessaryCore/WorkspaceEntry.h"

#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/UnicodeText.h"
#include "TessaryCore/WindowPlacement.h"

namespace tessary {

WorkspaceEntry::WorkspaceEntry(UUID id, std::string bundleID, std::optional<std::string> title,
                               std::string displayKey, std::vector<std::int64_t> zoneIndices, Rect frame)
    : id(id),
      bundleID(validUTF8(bundleID)),
      title(title ? std::optional<std::string>(validUTF8(*title)) : std::nullopt),
      displayKey(validUTF8(displayKey)),
      zoneIndices(std::move(zoneIndices)),
      frame(frame) {}

json::Json WorkspaceEntry::toJSON() const {
    json::Json object{{"id", id.toJSON()},
                      {"bundleID", bundleID},
                      {"displayKey", displayKey},
                      {"zoneIndices", encodeZoneIndices(zoneIndices)},
                      {"frame", json::encodeRect(frame)}};
    if (title) object["title"] = *title;
    return object;
}

WorkspaceEntry WorkspaceEntry::fromJSON(const json::Json& value) {
    WorkspaceEntry entry;
    entry.id = UUID::fromJSON(json::require(value, "id"));
    entry.bundleID = json::requireString(value, "bundleID");
    entry.title = json::optionalString(value, "title");
    entry.displayKey = json::requireString(value, "displayKey");
    entry.zoneIndices = json::asInt64Array(json::require(value, "zoneIndices"), "zoneIndices");
    entry.frame = json::decodeRect(json::require(value, "frame"));
    return entry;
}

std::size_t hashRect(const Rect& rect) {
    if (rect.isNull()) return 0x6e756c6cU;
    // Negative zero hashes as zero so that rectangles that compare equal hash equal.
    const auto hashDouble = [](double v) { return std::hash<double>{}(v == 0 ? 0.0 : v); };
    const Rect r = rect.standardized();
    std::size_t seed = hashDouble(r.origin.x);
    hashCombine(seed, hashDouble(r.origin.y));
    hashCombine(seed, hashDouble(r.size.width));
    hashCombine(seed, hashDouble(r.size.height));
    return seed;
}

}  // namespace tessary

std::size_t std::hash<tessary::WorkspaceEntry>::operator()(const tessary::WorkspaceEntry& entry) const noexcept {
    std::size_t seed = std::hash<tessary::UUID>{}(entry.id);
    tessary::hashCombine(seed, std::hash<std::string>{}(entry.bundleID));
    tessary::hashCombine(seed, std::hash<bool>{}(entry.title.has_value()));
    if (entry.title) tessary::hashCombine(seed, std::hash<std::string>{}(*entry.title));
    tessary::hashCombine(seed, std::hash<std::string>{}(entry.displayKey));
    tessary::hashCombine(seed, std::hash<std::size_t>{}(entry.zoneIndices.size()));
    for (std::int64_t index : entry.zoneIndices) tessary::hashCombine(seed, std::hash<std::int64_t>{}(index));
    tessary::hashCombine(seed, tessary::hashRect(entry.frame));
    return seed;
}
