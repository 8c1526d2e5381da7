#include "Tessary/shell/ui/SymbolIcon.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIconEngine>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <numbers>

#include "Platform/Logger.h"
#include "Tessary/shell/ui/AppAppearance.h"

namespace tessary {

namespace {

using Drawing = std::function<void(QPainter&)>;

struct Symbol {
    QStringList themeNames;
    Drawing draw;  // in a 24 x 24 box, with the pen already set
};

QPainterPath rounded(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void dot(QPainter& p, QPointF at, double radius) {
    const QColor ink = p.pen().color();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(at, radius, radius);
    p.restore();
}

// An open circle with an arrow head at its end: counterclockwise, or mirrored for clockwise.
void circularArrow(QPainter& p, bool clockwise) {
    if (clockwise) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    const double radius = 7;
    const QPointF centre(12, 12.5);
    p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 60 * 16, 270 * 16);
    const double end = (60.0 + 270.0) * std::numbers::pi / 180.0;
    const QPointF tip(centre.x() + radius * std::cos(end), centre.y() - radius * std::sin(end));
    const QPointF travel(-std::sin(end), -std::cos(end));
    for (const double turn : {2.6, -2.6}) {
        const double c = std::cos(turn), s = std::sin(turn);
        const QPointF back(travel.x() * c - travel.y() * s, travel.x() * s + travel.y() * c);
        p.drawLine(tip, tip + 4.5 * back);
    }
}

// The back square of a pair, hidden where the front one lies over it.
void stackedSquares(QPainter& p) {
    const QPainterPath front = rounded(QRectF(9, 9, 11, 11), 2.5);
    QPainterPath outside;
    outside.addRect(QRectF(0, 0, 24, 24));
    p.save();
    p.setClipPath(outside.subtracted(rounded(QRectF(7.5, 7.5, 14, 14), 3.5)));
    p.drawPath(rounded(QRectF(4, 4, 11, 11), 2.5));
    p.restore();
    p.drawPath(front);
}

const std::map<QString, Symbol>& symbols() {
    static const std::map<QString, Symbol> table{
        {"plus", {{"list-add", "list-add-symbolic"}, [](QPainter& p) {
             p.drawLine(QPointF(12, 5), QPointF(12, 19));
             p.drawLine(QPointF(5, 12), QPointF(19, 12));
         }}},
        {"minus", {{"list-remove", "list-remove-symbolic"}, [](QPainter& p) {
             p.drawLine(QPointF(5, 12), QPointF(19, 12));
         }}},
        {"checkmark", {{"object-select", "object-select-symbolic", "emblem-ok-symbolic"}, [](QPainter& p) {
             p.drawPolyline(QPolygonF({QPointF(5, 12.5), QPointF(10, 17.5), QPointF(19, 7)}));
         }}},
        {"trash", {{"edit-delete", "user-trash", "edit-delete-symbolic", "user-trash-symbolic"}, [](QPainter& p) {
             p.drawLine(QPointF(4, 6.5), QPointF(20, 6.5));
             p.drawPolyline(QPolygonF({QPointF(9, 6.5), QPointF(9.5, 4), QPointF(14.5, 4), QPointF(15, 6.5)}));
             p.drawPolyline(QPolygonF({QPointF(6, 6.5), QPointF(7, 20), QPointF(17, 20), QPointF(18, 6.5)}));
             p.drawLine(QPointF(10, 10), QPointF(10, 16.5));
             p.drawLine(QPointF(14, 10), QPointF(14, 16.5));
         }}},
        {"square.on.square", {{"edit-copy", "edit-copy-symbolic"}, [](QPainter& p) { stackedSquares(p); }}},
        {"plus.square.on.square", {{"edit-copy", "edit-copy-symbolic"}, [](QPainter& p) {
             stackedSquares(p);
             p.drawLine(QPointF(14.5, 12), QPointF(14.5, 17));
             p.drawLine(QPointF(12, 14.5), QPointF(17, 14.5));
         }}},
        {"pencil", {{"document-edit", "document-edit-symbolic", "edit-symbolic"}, [](QPainter& p) {
             p.drawPolygon(QPolygonF({QPointF(15.5, 4.5), QPointF(19.5, 8.5), QPointF(8.5, 19.5), QPointF(4.5, 19.5),
                                      QPointF(4.5, 15.5)}));
             p.drawLine(QPointF(13, 7), QPointF(17, 11));
         }}},
        {"gear", {{"preferences-system", "emblem-system", "preferences-system-symbolic", "emblem-system-symbolic"},
                  [](QPainter& p) {
                      QPolygonF teeth;
                      for (int k = 0; k < 8; ++k) {
                          const double base = k * 45.0;
                          for (const auto& [radius, offset] : {std::pair{7.0, -15.0}, std::pair{9.5, -8.0},
                                                               std::pair{9.5, 8.0}, std::pair{7.0, 15.0}}) {
                              const double angle = (base + offset) * std::numbers::pi / 180.0;
                              teeth << QPointF(12 + radius * std::cos(angle), 12 + radius * std::sin(angle));
                          }
                      }
                      p.drawPolygon(teeth);
                      p.drawEllipse(QPointF(12, 12), 3, 3);
                  }}},
        {"info.circle", {{"help-about", "dialog-information", "help-about-symbolic", "dialog-information-symbolic"},
                         [](QPainter& p) {
                             p.drawEllipse(QPointF(12, 12), 9, 9);
                             dot(p, QPointF(12, 7.5), 1.4);
                             p.drawLine(QPointF(12, 11), QPointF(12, 17));
                         }}},
        {"keyboard", {{"preferences-desktop-keyboard", "input-keyboard", "input-keyboard-symbolic",
                       "preferences-desktop-keyboard-symbolic"},
                      [](QPainter& p) {
                          p.drawPath(rounded(QRectF(2.5, 6, 19, 12), 2));
                          for (const double y : {9.5, 12.5}) {
                              for (const double x : {6.5, 9.5, 12.5, 15.5, 18.0}) dot(p, QPointF(x, y), 1);
                          }
                          p.drawLine(QPointF(8.5, 15.5), QPointF(15.5, 15.5));
                      }}},
        {"arrow.counterclockwise", {{"edit-undo", "edit-undo-symbolic", "document-revert"},
                                    [](QPainter& p) { circularArrow(p, false); }}},
        {"arrow.clockwise", {{"view-refresh", "view-refresh-symbolic"}, [](QPainter& p) { circularArrow(p, true); }}},
        {"eye", {{"view-visible", "view-reveal-symbolic", "view-visible-symbolic"}, [](QPainter& p) {
             QPainterPath lid;
             lid.moveTo(2, 12);
             lid.quadTo(12, 1.5, 22, 12);
             lid.quadTo(12, 22.5, 2, 12);
             p.drawPath(lid);
             p.drawEllipse(QPointF(12, 12), 3.2, 3.2);
         }}},
        {"square.and.arrow.down", {{"document-save", "document-save-symbolic"}, [](QPainter& p) {
             p.drawLine(QPointF(12, 3.5), QPointF(12, 14));
             p.drawPolyline(QPolygonF({QPointF(8, 10), QPointF(12, 14), QPointF(16, 10)}));
             p.drawPolyline(QPolygonF({QPointF(4, 13), QPointF(4, 20), QPointF(20, 20), QPointF(20, 13)}));
         }}},
        {"exclamationmark.triangle", {{"dialog-warning", "dialog-warning-symbolic"}, [](QPainter& p) {
             p.drawPolygon(QPolygonF({QPointF(12, 3), QPointF(21.5, 20), QPointF(2.5, 20)}));
             p.drawLine(QPointF(12, 9), QPointF(12, 13.5));
             dot(p, QPointF(12, 16.8), 1.3);
         }}},
        // A pointer: the section is about dragging windows with the mouse.
        {"hand.point.up.left", {{"preferences-desktop-peripherals", "input-mouse", "input-mouse-symbolic"},
                                [](QPainter& p) {
                                    p.drawPolygon(QPolygonF({QPointF(6, 3), QPointF(6, 19), QPointF(10, 15.5),
                                                             QPointF(13, 21), QPointF(15.5, 19.8), QPointF(12.7, 14.5),
                                                             QPointF(18, 14.5)}));
                                }}},
        {"rectangle.split.3x3", {{"view-grid", "view-grid-symbolic", "view-app-grid-symbolic"}, [](QPainter& p) {
             p.drawPath(rounded(QRectF(3, 4, 18, 16), 2));
             for (const double x : {9.0, 15.0}) p.drawLine(QPointF(x, 4), QPointF(x, 20));
             for (const double y : {9.33, 14.67}) p.drawLine(QPointF(3, y), QPointF(21, y));
         }}},
        {"list.bullet.rectangle", {{"view-list-details", "view-list", "view-list-bullet-symbolic", "view-list-symbolic"},
                                   [](QPainter& p) {
                                       p.drawPath(rounded(QRectF(2.5, 4, 19, 16), 2.5));
                                       for (const double y : {9.0, 12.0, 15.0}) {
                                           dot(p, QPointF(7, y), 1);
                                           p.drawLine(QPointF(10, y), QPointF(17.5, y));
                                       }
                                   }}},
        {"square.grid.2x2", {{"preferences-system-windows", "view-app-grid-symbolic", "view-grid-symbolic"},
                             [](QPainter& p) {
                                 for (const double x : {4.0, 13.0}) {
                                     for (const double y : {4.0, 13.0}) p.drawPath(rounded(QRectF(x, y, 7, 7), 1.5));
                                 }
                             }}},
        {"nosign", {{"action-unavailable", "action-unavailable-symbolic", "process-stop"}, [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
             p.drawLine(QPointF(6, 6), QPointF(18, 18));
         }}},
        {"icloud", {{"folder-cloud", "emblem-synchronizing", "folder-remote", "emblem-synchronizing-symbolic"},
                    [](QPainter& p) {
                        QPainterPath cloud;
                        cloud.addEllipse(QRectF(3, 10, 8, 8));
                        QPainterPath top;
                        top.addEllipse(QRectF(7.5, 5.5, 10, 10));
                        QPainterPath right;
                        right.addEllipse(QRectF(13, 9.5, 8.5, 8.5));
                        QPainterPath base;
                        base.addRect(QRectF(7, 13, 10, 5));
                        p.drawPath(cloud.united(top).united(right).united(base).simplified());
                    }}},
        {"sidebar.trailing", {{"view-right-pane", "sidebar-show-right", "sidebar-show-right-symbolic",
                               "view-right-pane-symbolic"},
                              [](QPainter& p) {
                                  p.drawPath(rounded(QRectF(2.5, 4, 19, 16), 2.5));
                                  p.drawLine(QPointF(15, 4), QPointF(15, 20));
                                  for (const double y : {8.0, 11.0}) p.drawLine(QPointF(17.3, y), QPointF(19.2, y));
                              }}},
        {"pause.circle", {{"media-playback-pause", "media-playback-pause-symbolic"}, [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.drawLine(QPointF(10, 8.5), QPointF(10, 15.5));
             p.drawLine(QPointF(14, 8.5), QPointF(14, 15.5));
         }}},
        // An application we have no icon for: its outline, dashed, round a dot.
        {"app.dashed", {{"application-x-executable", "application-x-executable-symbolic"}, [](QPainter& p) {
             QPen pen = p.pen();
             pen.setDashPattern({1.6, 1.6});
             p.setPen(pen);
             p.drawPath(rounded(QRectF(3.5, 3.5, 17, 17), 4.5));
             dot(p, QPointF(12, 12), 2.5);
         }}},
        {"display", {{"video-display", "computer", "video-display-symbolic"}, [](QPainter& p) {
             p.drawPath(rounded(QRectF(2.5, 4, 19, 12.5), 1.5));
             p.drawLine(QPointF(12, 16.5), QPointF(12, 20));
             p.drawLine(QPointF(8, 20), QPointF(16, 20));
         }}},
    };
    return table;
}

// Symbols with a second name in the views.
QString canonical(const QString& symbolName) {
    if (symbolName == QLatin1String("gearshape")) return QStringLiteral("gear");
    return symbolName;
}

// What an unknown name shows: a question in a circle, never an empty square.
void drawUnknown(QPainter& p) {
    p.drawEllipse(QPointF(12, 12), 9, 9);
    QPainterPath hook;
    hook.moveTo(9.2, 9.5);
    hook.cubicTo(9.2, 5.8, 14.8, 5.8, 14.8, 9.5);
    hook.cubicTo(14.8, 11.5, 12, 11.5, 12, 14);
    p.drawPath(hook);
    dot(p, QPointF(12, 17), 1.2);
}

QColor inkFor(QIcon::Mode mode) {
    const QPalette palette = QApplication::palette();
    switch (mode) {
    // The disabled text colour is too faint for a drawing of thin lines (1.6:1 on Qt's own palette).
    case QIcon::Disabled: return seenWhenDisabled(palette, QPalette::WindowText, QPalette::Window);
    case QIcon::Selected: return palette.color(QPalette::HighlightedText);
    case QIcon::Normal:
    case QIcon::Active: break;
    }
    return palette.color(QPalette::WindowText);
}

// Shared by both engines: a pixmap of the requested size, filled by `fill`.
QPixmap renderedPixmap(const QSize& size, const std::function<void(QPainter&, const QRect&)>& fill) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    fill(painter, QRect(QPoint(0, 0), size));
    return pixmap;
}

// Our drawings, in the text colour of the palette current when they are painted.
class DrawnSymbolEngine final : public QIconEngine {
public:
    explicit DrawnSymbolEngine(QString name) : name_(std::move(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const double side = std::min(rect.width(), rect.height());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
        painter->scale(side / 24.0, side / 24.0);
        painter->setPen(QPen(inkFor(mode), side <= 16 ? 2.1 : 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        const auto found = symbols().find(name_);
        if (found != symbols().end()) {
            found->second.draw(*painter);
        } else {
            drawUnknown(*painter);
        }
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return renderedPixmap(size, [&](QPainter& p, const QRect& rect) { paint(&p, rect, mode, state); });
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new DrawnSymbolEngine(name_); }
    QString key() const override { return QStringLiteral("tessary.drawn"); }
    bool isNull() override { return false; }

private:
    QString name_;
};

// A symbolic theme icon is a silhouette meant to take the text colour, as the desktop's own
// programs give it; drawn as it is stored it stays dark grey on a dark window.
class TintedThemeEngine final : public QIconEngine {
public:
    explicit TintedThemeEngine(QIcon source) : source_(std::move(source)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap tinted = pixmap(rect.size() * ratio, mode, state);
        tinted.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, tinted);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const QPixmap silhouette = source_.pixmap(size, QIcon::Normal, state);
        return renderedPixmap(size, [&](QPainter& p, const QRect& rect) {
            const QRect target(QPoint(rect.x() + (rect.width() - silhouette.width()) / 2,
                                      rect.y() + (rect.height() - silhouette.height()) / 2),
                               silhouette.size());
            p.drawPixmap(target, silhouette);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(rect, inkFor(mode));
        });
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return source_.actualSize(size, mode, state);
    }
    QIconEngine* clone() const override { return new TintedThemeEngine(source_); }
    QString key() const override { return QStringLiteral("tessary.tinted"); }
    bool isNull() override { return source_.isNull(); }

private:
    QIcon source_;
};

// A full-colour theme icon meant for the other appearance (a pale glyph for dark media controls)
// vanishes on our window: it counts only with some solid pixel at 3:1 against the window and the
// base colour the rows and cards use.
bool standsOut(const QIcon& icon) {
    const QPalette palette = QApplication::palette();
    const QColor window = palette.color(QPalette::Window), base = palette.color(QPalette::Base);
    // At the smallest size shown, where scaling has softened the darkest strokes.
    const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) < 200) continue;
            const QColor ink = QColor::fromRgb(line[x]);
            if (contrastRatio(ink, window) >= 3.0 && contrastRatio(ink, base) >= 3.0) return true;
        }
    }
    return false;
}

// Qt keeps every theme icon it was asked for, with the whole picture it read for it, for the life
// of the process. A theme that has a name only as a large picture (Adwaita's "video-display" is
// 512 x 512 alone) would leave a megabyte held to show sixteen pixels; the next name is taken.
bool onlyLargePictures(const QIcon& themed) {
    constexpr int largestUseful = 64;
    const QList<QSize> sizes = themed.availableSizes();
    return !sizes.isEmpty() && std::all_of(sizes.begin(), sizes.end(), [](const QSize& size) {
        return std::min(size.width(), size.height()) > largestUseful;
    });
}

// What the choice of a symbol's icon depends on: the theme and its fallback, where themes are
// looked for and their indexes (a theme installed or updated while the program runs rewrites its
// index; a picture added alone is seen at the next change of appearance), and the colours a
// full-colour icon must stand out from.
QString choiceContext() {
    const QPalette palette = QApplication::palette();
    QString context = palette.color(QPalette::Window).name(QColor::HexArgb) + palette.color(QPalette::Base).name(QColor::HexArgb);
    const QString themes[] = {QIcon::themeName(), QIcon::fallbackThemeName()};
    for (const QString& theme : themes) context += '|' + theme;
    for (const QString& root : QIcon::themeSearchPaths()) {
        context += '|' + root;
        for (const QString& theme : themes) {
            std::error_code error;
            const std::filesystem::path index = (QDir(root).filePath(theme) + QStringLiteral("/index.theme")).toStdString();
            const auto changed = std::filesystem::last_write_time(index, error);
            if (error) continue;
            context += QStringLiteral(":%1/%2").arg(changed.time_since_epoch().count()).arg(std::filesystem::file_size(index, error));
        }
    }
    return context;
}

QIcon chooseSymbolIcon(const QString& name);

}  // namespace

bool drawsSomething(const QIcon& icon) {
    const QImage image = icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) return false;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) > 0) return true;
        }
    }
    return false;
}

QStringList freedesktopIconNames(const QString& symbolName) {
    const auto found = symbols().find(canonical(symbolName));
    return found == symbols().end() ? QStringList() : found->second.themeNames;
}

QStringList knownSymbols() {
    QStringList names;
    for (const auto& [name, symbol] : symbols()) names << name;
    return names;
}

QIcon drawnSymbolIcon(const QString& symbolName) { return QIcon(new DrawnSymbolEngine(canonical(symbolName))); }

QIcon symbolIcon(const QString& symbolName) {
    const QString name = canonical(symbolName);
    if (!symbols().contains(name)) {
        static const Logger log("SymbolIcon");
        log.error("No symbol named " + symbolName.toStdString() + "; drawn as a question mark");
    }
    // Choosing reads the theme's folders and pictures (Qt looks its names up again each time): a
    // pane built again, or a window opened again, takes the choice made before while nothing it
    // depends on has changed.
    // Never destroyed: its icons must not outlive the application object in a static destructor.
    static auto& chosen = *new std::map<QString, std::pair<QString, QIcon>>;
    const QString context = choiceContext();
    const auto found = chosen.find(name);
    if (found != chosen.end() && found->second.first == context) return found->second.second;
    QIcon icon = chooseSymbolIcon(name);
    chosen[name] = {context, icon};
    return icon;
}

namespace {

QIcon chooseSymbolIcon(const QString& name) {
    for (const QString& themeName : freedesktopIconNames(name)) {
        if (!QIcon::hasThemeIcon(themeName)) continue;
        const QIcon themed = QIcon::fromTheme(themeName);
        if (onlyLargePictures(themed)) continue;
        if (!drawsSomething(themed)) continue;
        if (themeName.endsWith(QLatin1String("-symbolic"))) return QIcon(new TintedThemeEngine(themed));
        if (standsOut(themed)) return themed;
    }
    return drawnSymbolIcon(name);
}

}  // namespace

void showIcon(QLabel& label, std::function<QIcon()> icon, int size) {
    followAppearance(label, [&label, icon = std::move(icon), size] { label.setPixmap(icon().pixmap(size, size)); });
}

void showSymbol(QLabel& label, const QString& symbolName, int size) {
    showIcon(label, [symbolName] { return symbolIcon(symbolName); }, size);
}

void adoptFallbackIconTheme() {
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor")) return;
    for (const QString& root : QIcon::themeSearchPaths()) {
        if (QFileInfo::exists(QDir(root).filePath(QStringLiteral("Adwaita/index.theme")))) {
            QIcon::setThemeName(QStringLiteral("Adwaita"));
            return;
        }
    }
}

}  // namespace tessary
