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
    json::Json array(json::Json::value_t::array);
    auto& elements = array.get_ref<json::Json::array_t&>();
    elements.reserve(indices.size());
    for (std::int64_t index : indices) elements.emplace_back(index);
    return array;
}

json::Json WindowPlacement::toJSON() const {
    // Built member by member: a memory holds hundreds of placements, and the initializer-list
    // form copies every value twice.
    json::Json object(json::Json::value_t::object);
    auto& members = object.get_ref<json::Json::object_t&>();
    members.emplace("displayKey", displayKey);
    members.emplace("layoutID", layoutID.uuidString());
    members.emplace("zoneIndices", encodeZoneIndices(zoneIndices));
    members.emplace("updatedAt", updatedAt.toJSON());
    return object;
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
