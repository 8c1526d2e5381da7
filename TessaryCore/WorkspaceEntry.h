#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TessaryCore/Geometry.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/UUID.h"

namespace tessary {

// One window saved in a workspace.
struct WorkspaceEntry {
    UUID id;
    std::string bundleID;
    // The title when the workspace was saved; none when the window had none.
    std::optional<std::string> title;
    // The text form of the display's key.
    std::string displayKey;
    // The zones the window occupied (from 0).
    std::vector<std::int64_t> zoneIndices;
    // The window's frame in the desktop's coordinate space.
    Rect frame;

    WorkspaceEntry() = default;
    // Stores the texts as valid UTF-8: titles come from other programs and may hold any bytes.
    WorkspaceEntry(UUID id, std::string bundleID, std::optional<std::string> title, std::string displayKey,
                   std::vector<std::int64_t> zoneIndices, Rect frame);

    json::Json toJSON() const;
    static WorkspaceEntry fromJSON(const json::Json& value);

    // Frames compare as rectangles (standardised).
    friend bool operator==(const WorkspaceEntry& a, const WorkspaceEntry& b) {
        return a.id == b.id && a.bundleID == b.bundleID && a.title == b.title && a.displayKey == b.displayKey &&
               a.zoneIndices == b.zoneIndices && rectsEqual(a.frame, b.frame);
    }
};

// A hash that agrees with rectsEqual.
std::size_t hashRect(const Rect& rect);

}  // namespace tessary

template <>
struct std::hash<tessary::WorkspaceEntry> {
    std::size_t operator()(const tessary::WorkspaceEntry& entry) const noexcept;
};
