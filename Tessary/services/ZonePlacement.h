#pragma once

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "TessaryCore/Zone.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

// Where a window went: the display and the zones whose union it now fills, in the order they were
// selected, without repeats. Passed between rules, window memory, the new-window placer and the
// application.
struct ZonePlacement {
    DisplayInfo display;
    std::vector<std::int64_t> zoneIndices;

    friend bool operator==(const ZonePlacement&, const ZonePlacement&) = default;
};

// The selection of those of the indices, in their order and without repeats, that some zone of
// the list has: a remembered or saved zone number that the display's layout lacks now is skipped.
SpanSelection selectionOfExistingZones(const std::vector<std::int64_t>& zoneIndices, const std::vector<Zone>& zones);

// "ZonePlacement(DISPLAY-ID, [0, 1])", for test failures.
std::ostream& operator<<(std::ostream& os, const ZonePlacement& placement);

}  // namespace tessary
