#include "Tessary/shell/ui/SymbolIcon.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <map>

namespace tessary {

QString freedesktopIconName(const QString& symbolName) {
    static const std::map<QString, QString> names{
        {"plus", "list-add"},
        {"minus", "list-remove"},
        {"checkmark", "object-select"},
        {"trash", "edit-delete"},
        {"square.on.square", "edit-copy"},
        {"pencil", "document-edit"},
        {"gearshape", "preferences-system"},
        {"info.circle", "help-about"},
        {"keyboard", "input-keyboard"},
        {"arrow.counterclockwise", "edit-undo"},
        {"eye", "view-visible"},
        {"square.and.arrow.down", "document-save"},
        {"arrow.clockwise", "view-refresh"},
        {"exclamationmark.triangle", "dialog-warning"},
        {"gear", "preferences-system"},
        {"hand.point.up.left", "input-mouse"},
        {"rectangle.split.3x3", "view-grid"},
        {"list.bullet.rectangle", "view-list-details"},
        {"square.grid.2x2", "view-app-grid"},
        {"nosign", "action-unavailable"},
        {"icloud", "folder-cloud"},
    };
    const auto found = names.find(symbolName);
    return found == names.end() ? QString() : found->second;
}

namespace {

QIcon drawnIcon(const QString& symbolName) {
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (symbolName == "plus") {
        p.drawLine(QPointF(16, 7), QPointF(16, 25));
        p.drawLine(QPointF(7, 16), QPointF(25, 16));
    } else if (symbolName == "minus") {
        p.drawLine(QPointF(7, 16), QPointF(25, 16));
    } else if (symbolName == "checkmark") {
        QPainterPath tick;
        tick.moveTo(7, 17);
        tick.lineTo(13, 23);
        tick.lineTo(25, 9);
        p.drawPath(tick);
    } else if (symbolName == "rectangle.split.3x3") {
        p.setPen(QPen(ink, 2));
        p.drawRoundedRect(QRectF(4, 6, 24, 20), 3, 3);
        for (double x : {12.0, 20.0}) p.drawLine(QPointF(x, 6), QPointF(x, 26));
        for (double y : {12.67, 19.33}) p.drawLine(QPointF(4, y), QPointF(28, y));
    } else {
        p.setPen(QPen(ink, 2));
        p.drawRoundedRect(QRectF(6, 6, 20, 20), 4, 4);
    }
    return QIcon(pixmap);
}

}  // namespace

QIcon symbolIcon(const QString& symbolName) {
    const QString themeName = freedesktopIconName(symbolName);
    if (!themeName.isEmpty() && QIcon::hasThemeIcon(themeName)) return QIcon::fromTheme(themeName);
    return drawnIcon(symbolName);
}

}  // namespace tessary
