#pragma once

// The layouts the drag tests snap into: two columns on the right monitor ("tessary-right",
// 1920x1080 at x 1920 unless given), four quarters (the default) everywhere else.

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "TessaryCore/ZoneGeometry.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tessary::e2e {

// Writes them as "layouts.json" under DATA_HOME/Tessary, followed by `moreLayouts` that no display
// uses (a large library, which takes a while to load); the right monitor's two zones.
inline std::vector<Zone> writeDragLayouts(const std::filesystem::path& dataHome,
                                          const Rect& rightMonitor = Rect(1920, 0, 1920, 1080), int moreLayouts = 0) {
    LayoutLibrary library;
    ZoneLayout two(LayoutTemplate::columns, 2);
    ZoneLayout four(LayoutTemplate::grid, 4);
    library.layouts = {four, two};
    for (int i = 0; i < moreLayouts; ++i) {
        library.layouts.emplace_back(LayoutTemplate::allCases[std::size_t(i) % 5], 2 + i % 5,
                                     "Layout " + std::to_string(i + 1));
    }
    library.defaultLayoutID = four.id;
    library.assign(two.id, DisplayKey("tessary-right", std::int64_t(rightMonitor.width()),
                                      std::int64_t(rightMonitor.height())));
    const auto folder = dataHome / "Tessary";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "layouts.json") << JSONDocumentStore<LayoutLibrary>::encode(library).value();
    return ZoneGeometry::zones(two, rightMonitor);
}

}  // namespace tessary::e2e
