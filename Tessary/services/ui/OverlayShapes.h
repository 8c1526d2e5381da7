#pragma once

#include <QFont>
#include <QRectF>
#include <QRegion>
#include <QString>

namespace tessary {

// The measures the overlay is drawn with, and what each of its pieces covers without a compositor.
// Without one an ARGB window's transparent pixels show black, so the overlay draws only opaque
// shapes and its window is shaped to exactly them: these regions are both what is painted and the
// window's X shape, so that it shows no pixel left unpainted.
namespace overlayshape {

// Every rounded rectangle of a tile.
constexpr double cornerRadius = 14;
// The hint capsule: its height, its distance from the bottom, its padding, the gap between its
// items, its dot and its text.
constexpr double hintHeight = 34;
constexpr double hintBottomPadding = 56;
constexpr double hintSidePadding = 16;
constexpr double hintSpacing = 10;
constexpr double hintDot = 8;
constexpr double hintFontSize = 13;
constexpr double sizeLabelFontSize = 12;
constexpr double sizeLabelBottomPadding = 14;
// Without a compositor: the width of a tile's outline and how far inside the tile it reaches.
constexpr double outlineReach = 3;
constexpr double outlineInset = 6;
// Without a compositor, a highlighted tile: its band's width, and bars of hatching this thick, this
// far apart, across the rest.
constexpr double activeBand = 12;
constexpr int hatchBar = 2;
constexpr int hatchPitch = 10;

// What a tile (logical pixels) shows of itself without a compositor, besides its badge: its band,
// and highlighted also the wide band and the hatching. Highlighted, it covers all it shows
// otherwise, so that the window's shape can be every zone's inactive outline plus the highlighted
// ones.
QRegion outlineRegion(const QRectF& tile, bool active);
// A highlighted tile's hatching: thin bars across the inside of its band, with the windows beneath
// showing between them.
QRegion hatching(const QRectF& tile);
// The number badge: a circle at the tile's centre.
QRectF outlineBadge(const QRectF& tile);
QRegion badgeRegion(const QRectF& tile);
QRegion capsuleRegion(const QRectF& capsule);
// The size label's chip: the label's text in `font` (the label's size) at the tile's bottom
// centre, with a margin round it.
QRectF sizeLabelText(const QRectF& tile, const QString& label, const QFont& font);
QRectF sizeLabelChip(const QRectF& text);
// The chip without a compositor: a rectangle with its corners cut by a pixel or two. The
// capsule's round ends made a dozen rectangles of every chip, and the X server paints what a
// highlight change uncovers against each rectangle of the shape.
QRegion sizeLabelRegion(const QRectF& chip);

}  // namespace overlayshape

}  // namespace tessary
