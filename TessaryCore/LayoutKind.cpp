#include "TessaryCore/LayoutKind.h"

#include "TessaryCore/DisplayKey.h"

namespace tessary {

json::Json LayoutKind::toJSON() const {
    // Built by moving the payload in: initializer lists would copy it twice over.
    json::Json payload = json::Json::object();
    payload["_0"] = grid() ? grid()->toJSON() : canvas()->toJSON();
    json::Json out = json::Json::object();
    out[grid() ? "grid" : "canvas"] = std::move(payload);
    return out;
}

LayoutKind LayoutKind::fromJSON(const json::Json& value) {
    json::asObject(value, "kind");
    const bool hasGrid = value.contains("grid");
    const bool hasCanvas = value.contains("canvas");
    if (hasGrid == hasCanvas) throw json::DecodingError("Invalid number of keys found, expected one.");
    if (hasGrid) return LayoutKind(ZoneGrid::fromJSON(json::require(value.at("grid"), "_0")));
    return LayoutKind(ZoneCanvas::fromJSON(json::require(value.at("canvas"), "_0")));
}

}  // namespace tessary

std::size_t std::hash<tessary::LayoutKind>::operator()(const tessary::LayoutKind& kind) const noexcept {
    if (const tessary::ZoneGrid* grid = kind.grid()) {
        std::size_t seed = 0;
        tessary::hashCombine(seed, std::hash<tessary::ZoneGrid>{}(*grid));
        return seed;
    }
    std::size_t seed = 1;
    tessary::hashCombine(seed, std::hash<tessary::ZoneCanvas>{}(*kind.canvas()));
    return seed;
}
