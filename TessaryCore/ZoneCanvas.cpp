#include "TessaryCore/ZoneCanvas.h"

#include <algorithm>

#include "TessaryCore/DisplayKey.h"

namespace tessary {

bool operator==(const ZoneCanvas& a, const ZoneCanvas& b) {
    return a.referenceSize == b.referenceSize &&
           std::equal(a.zones.begin(), a.zones.end(), b.zones.begin(), b.zones.end(), rectsEqual);
}

json::Json ZoneCanvas::toJSON() const {
    json::Json rects = json::Json::array();
    for (const Rect& rect : zones) rects.push_back(json::encodeRect(rect));
    json::Json out = json::Json::object();
    out["referenceSize"] = json::encodeSize(referenceSize);
    out["zones"] = std::move(rects);
    return out;
}

ZoneCanvas ZoneCanvas::fromJSON(const json::Json& value) {
    ZoneCanvas canvas;
    canvas.referenceSize = json::decodeSize(json::require(value, "referenceSize"));
    const json::Json& rects = json::asArray(json::require(value, "zones"), "zones");
    canvas.zones.reserve(rects.size());
    for (const json::Json& rect : rects) canvas.zones.push_back(json::decodeRect(rect));
    return canvas;
}

}  // namespace tessary

std::size_t std::hash<tessary::ZoneCanvas>::operator()(const tessary::ZoneCanvas& canvas) const noexcept {
    // Negative zero hashes as zero so that canvases that compare equal hash equal.
    const auto hashDouble = [](double v) { return std::hash<double>{}(v == 0 ? 0.0 : v); };
    std::size_t seed = hashDouble(canvas.referenceSize.width);
    tessary::hashCombine(seed, hashDouble(canvas.referenceSize.height));
    tessary::hashCombine(seed, canvas.zones.size());
    for (const tessary::Rect& zone : canvas.zones) {
        const tessary::Rect r = zone.standardized();
        tessary::hashCombine(seed, hashDouble(r.origin.x));
        tessary::hashCombine(seed, hashDouble(r.origin.y));
        tessary::hashCombine(seed, hashDouble(r.size.width));
        tessary::hashCombine(seed, hashDouble(r.size.height));
    }
    return seed;
}
