#include "Tessary/services/OverlayModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessary {

bool OverlayModel::isHighlighted(std::int64_t index) const {
    return std::binary_search(highlighted_.begin(), highlighted_.end(), index);
}

void OverlayModel::setZones(std::vector<Zone> zones) {
    if (zones == zones_) return;
    zones_ = std::move(zones);
    if (onChange) {
        OverlayModelChange change;
        change.zonesChanged = true;
        change.previousHighlight = highlighted_;
        change.highlight = highlighted_;
        onChange(change);
    }
}

void OverlayModel::setHighlighted(std::span<const std::int64_t> indices, std::string_view note) {
    incoming_.assign(indices.begin(), indices.end());
    std::sort(incoming_.begin(), incoming_.end());
    incoming_.erase(std::unique(incoming_.begin(), incoming_.end()), incoming_.end());
    const bool noteChanged = note != note_;
    if (incoming_ == highlighted_ && !noteChanged) return;
    if (noteChanged) note_ = note;

    toggled_.clear();
    std::set_symmetric_difference(highlighted_.begin(), highlighted_.end(), incoming_.begin(), incoming_.end(),
                                  std::back_inserter(toggled_));
    highlighted_.swap(incoming_);
    if (onChange) {
        OverlayModelChange change;
        change.toggled = toggled_;
        change.previousHighlight = incoming_;
        change.highlight = highlighted_;
        change.noteChanged = noteChanged;
        onChange(change);
    }
}

void OverlayModel::appendRepaintRects(const OverlayModelChange& change, double margin, std::vector<Rect>& out) const {
    for (const auto& zone : zones_) {
        if (std::binary_search(change.toggled.begin(), change.toggled.end(), zone.index)) {
            const Rect grown = zone.rect.standardized().insetBy(-margin, -margin);
            if (!grown.isNull()) out.push_back(grown);
        }
    }
}

namespace overlaytext {

namespace {

// Drops the fraction; a value beyond the 64-bit range (or not a number) never reaches the cast.
std::int64_t truncated(double value) {
    if (!std::isfinite(value)) return 0;
    constexpr double limit = 9223372036854775808.0;
    if (value >= limit) return std::numeric_limits<std::int64_t>::max();
    if (value <= -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

}  // namespace

std::string zoneNumber(std::int64_t index) {
    if (index >= 0) return std::to_string(static_cast<std::uint64_t>(index) + 1);
    return std::to_string(index + 1);
}

std::string hintTitle(std::span<const std::int64_t> sorted) {
    std::string list;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0) list += " + ";
        list += zoneNumber(sorted[i]);
    }
    return (sorted.size() < 2 ? "Drop in zone " : "Span zones ") + list;
}

std::string hintSpanAdvice(SpanModifier modifier, std::size_t highlightedCount) {
    if (modifier == SpanModifier::none || highlightedCount != 1) return {};
    return "hold " + std::string(displayName(modifier)) + " to span";
}

std::string sizeLabel(const Rect& rect) {
    return std::to_string(truncated(rect.width())) + " \u00d7 " + std::to_string(truncated(rect.height()));
}

bool showsSizeLabel(const Rect& rect) { return rect.height() > 120 && rect.width() > 140; }

double badgeFontSize(const Rect& rect) {
    return std::max(14.0, std::min({72.0, rect.width() / 3, rect.height() / 3}));
}

}  // namespace overlaytext

}  // namespace tessary
