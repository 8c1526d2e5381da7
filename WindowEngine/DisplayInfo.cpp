#include "WindowEngine/DisplayInfo.h"

namespace {

void hashRect(std::size_t& seed, const tessary::Rect& rect) {
    for (double value : {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}) {
        tessary::hashCombine(seed, std::hash<double>{}(value));
    }
}

}  // namespace

std::size_t std::hash<tessary::DisplayInfo>::operator()(const tessary::DisplayInfo& display) const noexcept {
    std::size_t seed = std::hash<std::uint32_t>{}(display.displayID);
    tessary::hashCombine(seed, std::hash<std::string>{}(display.identifier));
    tessary::hashCombine(seed, std::hash<std::string>{}(display.localizedName));
    hashRect(seed, display.frame);
    hashRect(seed, display.workArea);
    tessary::hashCombine(seed, std::hash<bool>{}(display.isPrimary));
    tessary::hashCombine(seed, std::hash<bool>{}(display.isBuiltIn));
    return seed;
}
