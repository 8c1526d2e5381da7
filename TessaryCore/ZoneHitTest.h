#pragma once

#include <optional>
#include <vector>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/Zone.h"

namespace tessary {

// Which zone lies under a point. Runs on every drag event.
namespace ZoneHitTest {

// The zone whose rectangle contains the point (minimum edges inside, maximum edges outside); among
// several, the smallest by area, the first listed on equal areas (the innermost of overlapping
// canvas zones).
std::optional<Zone> zoneAt(Point point, const std::vector<Zone>& zones);
// The zone whose centre is nearest to the point; the first listed on ties.
std::optional<Zone> nearestZone(Point point, const std::vector<Zone>& zones);
Point centre(const Rect& rect);

}  // namespace ZoneHitTest

}  // namespace tessary
