#pragma once

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary::qttest {

// The two desktops the icons are checked on: one with no icon theme at all, and the common one
// whose desktop names no theme (Qt's "hicolor") while Adwaita is installed.
enum class IconDesktop { noTheme, adwaita };

inline const char* name(IconDesktop desktop) { return desktop == IconDesktop::noTheme ? "no-theme" : "adwaita"; }

inline bool adwaitaInstalled() { return QFileInfo::exists(QStringLiteral("/usr/share/icons/Adwaita/index.theme")); }

inline void useIconDesktop(IconDesktop desktop) {
    static const QString empty = QDir::temp().filePath(QStringLiteral("tessary-no-icon-themes"));
    QDir().mkpath(empty);
    QIcon::setThemeSearchPaths(desktop == IconDesktop::noTheme ? QStringList{empty}
                                                               : QStringList{QStringLiteral("/usr/share/icons")});
    QIcon::setThemeName(QStringLiteral("hicolor"));
    adoptFallbackIconTheme();
}

// How many pixels of an image carry any ink.
inline int inkedPixels(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) inked += qAlpha(image.pixel(x, y)) > 40 ? 1 : 0;
    }
    return inked;
}

// The outline of a rounded square with nothing inside it: what a missing symbol used to become.
inline bool isPlainSquare(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    if (w < 16 || h < 16) return false;
    // Inked pixels only on the outer band, none in the middle half: a hollow frame.
    for (int y = h / 4; y < h * 3 / 4; ++y) {
        for (int x = w / 4; x < w * 3 / 4; ++x) {
            if (qAlpha(image.pixel(x, y)) > 40) return false;
        }
    }
    return inkedPixels(image) > 0;
}

}  // namespace tessary::qttest
