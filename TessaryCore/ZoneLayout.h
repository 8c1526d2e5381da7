#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "TessaryCore/Date.h"
#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/LayoutKind.h"
#include "TessaryCore/LayoutTemplate.h"
#include "TessaryCore/UUID.h"

namespace tessary {

class LayoutPreset;

// A named body of zones with its gaps, how it was made, and the time of its last change.
class ZoneLayout {
public:
    // How a layout was made: a template with a zone count, or a preset (then the template is blank
    // and the count is that of the body the preset built).
    struct Origin {
        LayoutTemplate layoutTemplate;  // "template" in the stored form
        std::int64_t zoneCount = 0;
        std::optional<std::string> preset;

        json::Json toJSON() const;
        static Origin fromJSON(const json::Json& value);

        friend bool operator==(const Origin&, const Origin&) = default;
    };

    UUID id;
    std::string name;
    LayoutKind kind;
    double spacing = 0;  // points between neighbouring grid tracks
    double padding = 0;  // points between the zones and the work-area edges
    std::optional<Origin> origin;

    // Stores the time rounded to whole milliseconds.
    ZoneLayout(UUID id, std::string name, LayoutKind kind, double spacing, double padding,
               std::optional<Origin> origin, Date modifiedAt);
    // A new layout from a template: a new identifier, the given name (the template's display name
    // when none is given), spacing and padding 8, an origin recording the count exactly as given,
    // and the current time.
    ZoneLayout(LayoutTemplate layoutTemplate, std::int64_t zoneCount, std::optional<std::string> name = std::nullopt);

    // Always whole milliseconds: setting rounds. The other fields' setters never touch it; whoever
    // changes a layout sets it.
    Date modifiedAt() const { return modifiedAt_; }
    void setModifiedAt(Date date) { modifiedAt_ = date.roundedToMilliseconds(); }

    // For a canvas the number of rectangles, for a grid its zone count.
    std::int64_t zoneCount() const;

    // The body rebuilt from the origin: the preset it names, else its template and count. Nothing
    // changes without an origin, nor when it names a preset that no longer exists (its template,
    // blank, would wipe every zone).
    void rebuildFromOrigin();
    // Body and origin become those of a new layout made from the preset.
    void apply(const LayoutPreset& preset);
    // Body and origin become the template's for that count.
    void apply(LayoutTemplate layoutTemplate, std::int64_t zoneCount);
    // An origin for a layout stored without one: a matching preset, a matching template body for 1
    // to 12 zones, an empty canvas, or one of the starter names; nothing otherwise.
    std::optional<Origin> inferredOrigin() const;

    // A non-finite number (gap, weight, rectangle) or an unwritable time is an EncodingError.
    json::Json toJSON() const;
    static ZoneLayout fromJSON(const json::Json& value);

    friend bool operator==(const ZoneLayout&, const ZoneLayout&) = default;

private:
    Date modifiedAt_;
};

}  // namespace tessary

template <>
struct std::hash<tessary::ZoneLayout::Origin> {
    std::size_t operator()(const tessary::ZoneLayout::Origin& origin) const noexcept;
};

template <>
struct std::hash<tessary::ZoneLayout> {
    std::size_t operator()(const tessary::ZoneLayout& layout) const noexcept;
};
