#pragma once

#include <functional>
#include <variant>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/ZoneCanvas.h"
#include "TessaryCore/ZoneGrid.h"

namespace tessary {

// The body of a layout: a grid or a free canvas.
struct LayoutKind {
    std::variant<ZoneGrid, ZoneCanvas> body;

    LayoutKind() = default;
    LayoutKind(ZoneGrid grid) : body(std::move(grid)) {}
    LayoutKind(ZoneCanvas canvas) : body(std::move(canvas)) {}

    bool isGrid() const { return std::holds_alternative<ZoneGrid>(body); }
    bool isCanvas() const { return std::holds_alternative<ZoneCanvas>(body); }
    // The payload of that case, or nothing.
    const ZoneGrid* grid() const { return std::get_if<ZoneGrid>(&body); }
    ZoneGrid* grid() { return std::get_if<ZoneGrid>(&body); }
    const ZoneCanvas* canvas() const { return std::get_if<ZoneCanvas>(&body); }
    ZoneCanvas* canvas() { return std::get_if<ZoneCanvas>(&body); }

    // {"grid": {"_0": grid}} or {"canvas": {"_0": canvas}}. Decoding ignores keys it does not know
    // and refuses an object naming both cases or neither.
    json::Json toJSON() const;
    static LayoutKind fromJSON(const json::Json& value);

    friend bool operator==(const LayoutKind&, const LayoutKind&) = default;
};

}  // namespace tessary

template <>
struct std::hash<tessary::LayoutKind> {
    std::size_t operator()(const tessary::LayoutKind& kind) const noexcept;
};
