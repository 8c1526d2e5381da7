#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Tessary/services/SpanModifier.h"
#include "TessaryCore/Geometry.h"
#include "TessaryCore/Zone.h"

namespace tessary {

// What one assignment to an overlay model changed, so that its view repaints no more than that.
struct OverlayModelChange {
    // The zone list changed: everything is redrawn.
    bool zonesChanged = false;
    // The indices whose highlight flipped, ascending (empty when only the zones changed).
    std::span<const std::int64_t> toggled;
    // The highlight before and after, ascending.
    std::span<const std::int64_t> previousHighlight;
    std::span<const std::int64_t> highlight;
    // The note changed (with or without the highlight).
    bool noteChanged = false;
};

// What one overlay panel draws: its zones (in panel coordinates, points, origin at the top left of
// the display) and the set of highlighted zone indices. An assignment of an equal value changes
// nothing and tells nobody, so an unchanged highlight costs no repaint. Main thread only.
class OverlayModel {
public:
    const std::vector<Zone>& zones() const { return zones_; }
    // Ascending, without repeats.
    const std::vector<std::int64_t>& highlighted() const { return highlighted_; }
    bool isHighlighted(std::int64_t index) const;

    // Compared element by element with zone equality.
    void setZones(std::vector<Zone> zones);
    // Repeated indices collapse; compared as sets. An index that names no zone is kept like any
    // other and matches nothing when drawn. `note`: what the hint says of the highlighted zones
    // in place of its advice (a window that does not fit them); empty for none.
    void setHighlighted(std::span<const std::int64_t> indices, std::string_view note = {});
    void clearHighlight() { setHighlighted({}); }
    const std::string& note() const { return note_; }

    // Told of every real change, after it is stored.
    std::function<void(const OverlayModelChange&)> onChange;

    // The rectangles to repaint for a change of highlight: each zone whose highlight flipped, grown
    // by `margin` on every side for what is drawn around it (ring, shadow). Appended to `out`.
    void appendRepaintRects(const OverlayModelChange& change, double margin, std::vector<Rect>& out) const;

private:
    std::vector<Zone> zones_;
    std::vector<std::int64_t> highlighted_;
    std::string note_;
    // Reused between assignments so that a drag allocates nothing once warm.
    std::vector<std::int64_t> incoming_;
    std::vector<std::int64_t> toggled_;
};

// The texts and measures of the overlay drawing, kept apart from the widget so they can be tested.
namespace overlaytext {

// A zone's number as shown: its index plus one, without overflow for any index.
std::string zoneNumber(std::int64_t index);
// "Drop in zone 3" for one zone (or none), "Span zones 1 + 2 + 4" for several; `sorted` ascending.
std::string hintTitle(std::span<const std::int64_t> sorted);
// "hold Ctrl to span" while exactly one zone is highlighted and spanning is on; else empty.
std::string hintSpanAdvice(SpanModifier modifier, std::size_t highlightedCount);
// "960 × 1050": width and height with their fractions dropped.
std::string sizeLabel(const Rect& rect);
// Whether a zone is large enough for its size label: taller than 120 and wider than 140.
bool showsSizeLabel(const Rect& rect);
// The number badge's font size: within 14 and 72, a third of the smaller side.
double badgeFontSize(const Rect& rect);

}  // namespace overlaytext

}  // namespace tessary
