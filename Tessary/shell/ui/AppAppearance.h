#pragma once

#include <QColor>
#include <QPalette>

#include <functional>
#include <optional>

class QWidget;

#include "Tessary/services/Preferences.h"

namespace tessary {

// The look of the program's own windows. Light and Dark are complete palettes of our own: every role
// a widget of ours or the style draws with is given in each colour group, with body text at least
// 4.5:1 against the surfaces it sits on and the accent at least 3:1, the contrast WCAG AA asks of
// text and of controls. "System" takes the desktop theme's palette and follows it when the desktop
// changes theme, holding it to the same rule: only the pairs that fall short are set, the secondary
// text (Qt's stock palette draws it as the text colour at half opacity, 3.9:1 on its window) toned
// from the text colour, the selection darkened or lightened under its text; every other role stays
// the desktop's. The style is wrapped once (AppStyle) so that controls stay visible whatever the
// palette.

// The palette of an appearance; for `system`, the empty palette that lets the desktop's through.
QPalette appearancePalette(AppAppearance appearance);

// The roles System sets over a desktop palette: none when every pair already reads.
QPalette readableOver(const QPalette& desktop);

// Gives the application the appearance. Does nothing without an application object.
void applyAppearance(AppAppearance appearance);

// The WCAG 2 contrast ratio of two opaque colours, from 1 (equal) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// A hue (a status green, a failure red) moved towards the palette's text colour just far enough to
// read at 4.5:1, with a margin, on the window and the base colour, each first tinted with the hue at
// `tint` opacity (the capsule behind a status tag; 0 for plain text).
QColor readableTone(const QColor& hue, const QPalette& palette, double tint = 0);

// Draws a widget's text in readableTone(hue) of the application's palette, now and after every
// change of the appearance; without a hue, in the palette's own text colour again.
void showInTone(QWidget& widget, std::optional<QColor> hue);

// Runs `apply` now and after every change of the application's palette, for as long as the widget
// lives: for what a widget takes from the palette once (a style sheet's colours are read when it is
// set, so an open window would keep the old appearance's).
void followAppearance(QWidget& widget, std::function<void()> apply);

// `ink` moved towards `towards` just far enough to read at 4.5:1, with a margin, on `surface`
// (secondary text on a tinted card); `towards` when no step does.
QColor readableOn(const QColor& ink, const QColor& towards, const QColor& surface);

// The palette's disabled colour of `ink`, moved towards its active colour just far enough that a
// drawing in it (an icon, an edge) keeps 3:1, with a margin for anti-aliased lines, on the disabled
// `surface`: paler than the enabled drawing, but seen.
QColor seenWhenDisabled(const QPalette& palette, QPalette::ColorRole ink, QPalette::ColorRole surface);

// `top` as it shows over the opaque `under`.
QColor composedOver(const QColor& top, const QColor& under);

// The colour a fraction t of the way from one opaque colour to another.
QColor mixColours(const QColor& from, const QColor& to, double t);

// The WCAG 2 relative luminance of an opaque colour, from 0 (black) to 1 (white).
double relativeLuminance(const QColor& colour);

}  // namespace tessary
