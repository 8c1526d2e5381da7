#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "TessaryCore/DisplayClass.h"
#include "TessaryCore/DisplayKey.h"
#include "TessaryCore/Geometry.h"

namespace tessary {

// One connected display, in the desktop space. Lists identify displays by displayID; layouts and
// placements find them through displayKey(), never through displayID, which the desktop may reuse.
struct DisplayInfo {
    std::uint32_t displayID = 0;
    std::string identifier;  // stable: does not depend on the display number
    std::string localizedName;
    Rect frame;
    Rect workArea;  // without panels and docks
    bool isPrimary = false;
    bool isBuiltIn = false;

    // The identifier with the work-area size in whole points.
    DisplayKey displayKey() const { return DisplayKey(identifier, workArea.size); }
    // The display shapes its work area and built-in flag make it (the preset table's groups).
    std::set<DisplayClass> displayClasses() const {
        return DisplayClass::displayClasses(isBuiltIn, workArea.size);
    }

    // Every field: a display whose work area changed is a different display.
    friend bool operator==(const DisplayInfo&, const DisplayInfo&) = default;
};

}  // namespace tessary

template <>
struct std::hash<tessary::DisplayInfo> {
    std::size_t operator()(const tessary::DisplayInfo& display) const noexcept;
};
