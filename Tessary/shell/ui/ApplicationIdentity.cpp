#include "Tessary/shell/ui/ApplicationIdentity.h"

#include <QApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "TessaryCore/TessaryInfo.h"

namespace tessary {

namespace {

// The sizes compiled in (Tessary/CMakeLists.txt).
constexpr int compiledSizes[] = {16, 22, 24, 32, 48, 64, 128};

QString pictureOf(int size) { return QStringLiteral(":/icons/hicolor/%1x%1/apps/tessary.png").arg(size); }

// The sizes the tray's icon offers (a tray host that draws it itself is sent each).
constexpr int traySizes[] = {16, 22, 24, 32, 48};

// The update dot at the top right of a picture `size` across: a white ring keeps it apart from the
// tile under it.
void drawUpdateDot(QPixmap& picture, int size, const QColor& accent) {
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const double unit = size / 22.0;
    const double dot = 6 * unit;
    const QRectF place(size - 2 * unit - dot, 3 * unit, dot, dot);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(place.adjusted(-unit, -unit, unit, unit));
    p.setBrush(accent);
    p.drawEllipse(place);
}

// The compiled-in pictures, each read when a size is first asked for, and read as PNG only: an
// icon's own file reading asks every image plugin (gif, ico, jpeg) whether the file is theirs,
// which loads them all at start. The tray's form offers its own sizes and may carry the update
// dot; a tray asks for one size, so the others are never drawn.
class CompiledIconEngine final : public QIconEngine {
public:
    CompiledIconEngine() = default;
    CompiledIconEngine(std::span<const int> sizes, std::optional<QColor> dot)
        : sizes_(sizes.begin(), sizes.end()), dot_(dot) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        QPixmap best = picture(sizeFor(std::max(size.width(), size.height())));
        if (best.size() != size) best = best.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (dot_) drawUpdateDot(best, std::min(best.width(), best.height()), *dot_);
        if (mode == QIcon::Normal || mode == QIcon::Active) return best;
        QStyleOption option;
        option.palette = QApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, best, &option);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const int size : sizes_) sizes.append(QSize(size, size));
        return sizes;
    }
    QIconEngine* clone() const override { return new CompiledIconEngine(*this); }
    QString key() const override { return QStringLiteral("tessary-compiled"); }

private:
    // The smallest compiled size at least `side` across, else the largest.
    static int sizeFor(int side) {
        for (const int size : compiledSizes) {
            if (size >= side) return size;
        }
        return compiledSizes[std::size(compiledSizes) - 1];
    }
    QPixmap picture(int size) {
        auto found = read_.find(size);
        if (found == read_.end()) {
            QImageReader reader(pictureOf(size), "png");
            // Told the format, a reader still asks every plugin whether it reads it too.
            reader.setAutoDetectImageFormat(false);
            found = read_.emplace(size, QPixmap::fromImage(reader.read())).first;
        }
        return found->second;
    }

    std::vector<int> sizes_{std::begin(compiledSizes), std::end(compiledSizes)};
    std::optional<QColor> dot_;
    std::map<int, QPixmap> read_;
};

}  // namespace

void nameApplication(WindowIcon icon) {
    QCoreApplication::setApplicationName(QString::fromUtf8(TessaryInfo::productName.data(),
                                                           static_cast<qsizetype>(TessaryInfo::productName.size())));
    QGuiApplication::setDesktopFileName(QStringLiteral("tessary"));
    if (icon == WindowIcon::now) giveWindowsTheIcon();
}

void giveWindowsTheIcon() { QGuiApplication::setWindowIcon(applicationIcon()); }

QIcon applicationIcon() {
    // A size is read only when a window or view asks for it.
    return QIcon(new CompiledIconEngine);
}

QPixmap applicationIcon(int size, qreal devicePixelRatio) {
    return applicationIcon().pixmap(QSize(size, size), devicePixelRatio);
}

QIcon applicationTrayIcon(bool withUpdateDot, const QColor& accent) {
    return QIcon(new CompiledIconEngine(traySizes, withUpdateDot ? std::optional<QColor>(accent) : std::nullopt));
}

}  // namespace tessary
