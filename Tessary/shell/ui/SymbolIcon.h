#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;

namespace tessary {

// Icons named by the symbol names the views use ("plus", "gear", "pause.circle", ...). Each symbol
// has a chain of freedesktop icon names, full-colour names first and then symbolic ones; the first
// the desktop's theme can draw wins (a name it has only as pictures over 64 pixels is passed over:
// Qt would keep the whole picture), a full-colour one only when it stands 3:1 off the window (some
// are pale glyphs for dark media controls). When none can, the symbol is drawn by us, in the palette's text
// colour at paint time, so it follows the appearance and the selection and never shows as a blank
// or as a square standing in for something else. Symbolic theme icons are tinted the same way.
QIcon symbolIcon(const QString& symbolName);

// Shows the icon `icon` gives as the label's picture, `size` points square, asked for and drawn
// again at each change of the appearance: a picture is drawn in the palette of the moment, and
// which theme icon stands out depends on that palette too.
void showIcon(QLabel& label, std::function<QIcon()> icon, int size);

// The same for a symbol.
void showSymbol(QLabel& label, const QString& symbolName, int size);

// Our own drawing of a symbol, whatever the theme holds.
QIcon drawnSymbolIcon(const QString& symbolName);

// The freedesktop icon names tried for a symbol, in order; empty for a symbol we do not know.
QStringList freedesktopIconNames(const QString& symbolName);

// Every symbol name symbolIcon() knows; each has a drawing of its own.
QStringList knownSymbols();

// Whether an icon puts any ink on a pixmap. A theme can list a name, or a desktop entry a file,
// that this Qt cannot read (SVG without Qt's SVG plug-in, a broken image): such an icon is not
// null, yet shows an empty square.
bool drawsSomething(const QIcon& icon);

// On a desktop that names no icon theme, Qt looks only in hicolor, which holds no action icons.
// There this takes Adwaita, the theme GTK programs fall back to, when it is installed. Called once
// at start-up, before the first icon is looked up.
void adoptFallbackIconTheme();

}  // namespace tessary
