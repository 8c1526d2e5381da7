#include "TessaryCore/Zone.h"

#include <algorithm>

#include "TessaryCore/DisplayKey.h"

namespace tessary {

json::Json Zone::toJSON() const { return json::Json{{"index", index}, {"rect", json::encodeRect(rect)}}; }

Zone Zone::fromJSON(const json::Json& value) {
    return Zone{json::requireInt64(value, "index"), json::decodeRect(json::require(value, "rect"))};
}

bool SpanSelection::contains(std::int64_t index) const {
    return std::find(zoneIndices.begin(), zoneIndices.end(), index) != zoneIndices.end();
}

void SpanSelection::insert(std::int64_t index) {
    if (!contains(index)) zoneIndices.push_back(index);
}

void SpanSelection::select(std::int64_t index) { zoneIndices.assign(1, index); }

std::optional<Rect> SpanSelection::unionRect(const std::vector<Zone>& zones) const {
    std::optional<Rect> result;
    for (const Zone& zone : zones) {
        if (!contains(zone.index)) continue;
        result = result ? result->unionWith(zone.rect) : zone.rect;
    }
    return result;
}

}  // namespace tessary

std::size_t std::hash<tessary::Zone>::operator()(const tessary::Zone& zone) const noexcept {
    // Negative zero hashes as zero so that zones that compare equal hash equal.
    const auto hashDouble = [](double v) { return std::hash<double>{}(v == 0 ? 0.0 : v); };
    const tessary::Rect r = zone.rect.standardized();
    std::size_t seed = std::hash<std::int64_t>{}(zone.index);
    tessary::hashCombine(seed, hashDouble(r.origin.x));
    tessary::hashCombine(seed, hashDouble(r.origin.y));
    tessary::hashCombine(seed, hashDouble(r.size.width));
    tessary::hashCombine(seed, hashDouble(r.size.height));
    return seed;
}

std::size_t std::hash<tessary::SpanSelection>::operator()(const tessary::SpanSelection& selection) const noexcept {
    std::size_t seed = std::hash<std::size_t>{}(selection.zoneIndices.size());
    for (std::int64_t index : selection.zoneIndices) tessary::hashCombine(seed, std::hash<std::int64_t>{}(index));
    return seed;
}
