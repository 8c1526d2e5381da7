#include "TessaryCore/WindowPlacement.h"

#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/UnicodeText.h"

namespace tessary {

WindowPlacement::WindowPlacement(std::string displayKey, UUID layoutID, std::vector<std::int64_t> zoneIndices,
                                 Date updatedAt)
    : displayKey(validUTF8(displayKey)),
      layoutID(layoutID),
      zoneIndices(std::move(zoneIndices)),
      updatedAt(updatedAt.roundedToMilliseconds()) {}

json::Json encodeZoneIndices(const std::vector<std::int64_t>& indices) {
    json::Json array = json::Json::array();
    for (std::int64_t index : indices) array.push_back(index);
    return array;
}

json::Json WindowPlacement::toJSON() const {
    return json::Json{{"displayKey", displayKey},
                      {"layoutID", layoutID.toJSON()},
                      {"zoneIndices", encodeZoneIndices(zoneIndices)},
                      {"updatedAt", updatedAt.toJSON()}};
}

WindowPlacement WindowPlacement::fromJSON(const json::Json& value) {
    WindowPlacement placement;
    placement.displayKey = json::requireString(value, "displayKey");
    placement.layoutID = UUID::fromJSON(json::require(value, "layoutID"));
    placement.zoneIndices = json::asInt64Array(json::require(value, "zoneIndices"), "zoneIndices");
    placement.updatedAt = Date::fromJSON(json::require(value, "updatedAt"));
    return placement;
}

}  // namespace tessary

std::size_t std::hash<tessary::WindowPlacement>::operator()(const tessary::WindowPlacement& placement) const noexcept {
    std::size_t seed = std::hash<std::string>{}(placement.displayKey);
    tessary::hashCombine(seed, std::hash<tessary::UUID>{}(placement.layoutID));
    tessary::hashCombine(seed, std::hash<std::size_t>{}(placement.zoneIndices.size()));
    for (std::int64_t index : placement.zoneIndices) tessary::hashCombine(seed, std::hash<std::int64_t>{}(index));
    tessary::hashCombine(seed, std::hash<tessary::Date>{}(placement.updatedAt));
    return seed;
}
