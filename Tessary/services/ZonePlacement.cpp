#include "Tessary/services/ZonePlacement.h"

#include <algorithm>
#include <ostream>

namespace tessary {

SpanSelection selectionOfExistingZones(const std::vector<std::int64_t>& zoneIndices, const std::vector<Zone>& zones) {
    SpanSelection selection;
    for (std::int64_t index : zoneIndices) {
        if (std::any_of(zones.begin(), zones.end(), [&](const Zone& zone) { return zone.index == index; })) {
            selection.insert(index);
        }
    }
    return selection;
}

std::ostream& operator<<(std::ostream& os, const ZonePlacement& placement) {
    os << "ZonePlacement(" << placement.display.identifier << ", [";
    for (std::size_t i = 0; i < placement.zoneIndices.size(); ++i) {
        os << (i ? ", " : "") << placement.zoneIndices[i];
    }
    return os << "])";
}

}  // namespace tessary
