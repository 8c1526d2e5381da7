#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/Zone.h"

namespace tessary {

// Which zone a window occupies, and stepping from it to the next or previous zone.
namespace ZoneNavigation {

constexpr double defaultTolerance = 4.0;

// The first zone whose minimum x, minimum y, width and height each lie within the tolerance of the
// frame's; else the zone under the frame's centre; else nothing.
std::optional<Zone> zoneMatching(const Rect& frame, const std::vector<Zone>& zones,
                                 double tolerance = defaultTolerance);
// The zone `step` places after the one the frame occupies, among the zones in index order, wrapping
// around at both ends; for a frame in no zone, the first zone for a step of 0 or more and the last
// for a negative one. Nothing only for no zones.
std::optional<Zone> zoneAfter(const Rect& frame, std::int64_t step, const std::vector<Zone>& zones);

}  // namespace ZoneNavigation

}  // namespace tessary
