#include "Tessary/services/ui/OverlayDrawing.h"

#include <QPainterPath>

#include <sys/mman.h>

#include <cmath>
#include <vector>

#include "Tessary/services/ui/OverlayShapes.h"

namespace tessary::overlaydrawing {

using overlayshape::cornerRadius;

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return color;
}

QColor overlayColor(const Preferences& preferences) {
    const auto c = preferences.overlayColor();
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green), static_cast<float>(c.blue),
                            static_cast<float>(c.alpha));
}

namespace {

// Three box blurs of the alpha channel in both directions, close to a Gaussian of the radius.
void blurAlpha(QImage& image, double radius) {
    const double sigma = radius / 2;
    const int box = std::max(1, static_cast<int>((std::sqrt(4 * sigma * sigma + 1) - 1) / 2));
    const int w = image.width();
    const int h = image.height();
    std::vector<int> alpha(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) alpha[static_cast<std::size_t>(y * w + x)] = qAlpha(line[x]);
    }
    std::vector<int> buffer(alpha.size());
    auto pass = [&](bool horizontal) {
        const int lines = horizontal ? h : w;
        const int length = horizontal ? w : h;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> int& {
                const int x = horizontal ? i : l;
                const int y = horizontal ? l : i;
                return alpha[static_cast<std::size_t>(y * w + x)];
            };
            int sum = 0;
            for (int i = -box; i <= box; ++i) sum += (i >= 0 && i < length) ? at(i) : 0;
            for (int i = 0; i < length; ++i) {
                const int x = horizontal ? i : l;
                const int y = horizontal ? l : i;
                buffer[static_cast<std::size_t>(y * w + x)] = sum / (2 * box + 1);
                const int out = i - box;
                const int in = i + box + 1;
                if (out >= 0) sum -= at(out);
                if (in < length) sum += at(in);
            }
        }
        alpha.swap(buffer);
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = qRgba(0, 0, 0, alpha[static_cast<std::size_t>(y * w + x)]);
    }
}

// A blurred rounded square to stretch around a tile of any size: its corners are kept and its
// edges stretched. Made once per blur and colour and kept by the view that draws it, so a repaint
// never blurs; a few are kept at most, since every overlay colour the user tries makes new ones.
struct ShadowPatch {
    QImage image;
    int margin = 0;  // how far the shadow reaches beyond the shape
    int corner = 0;
};

ShadowPatch shadowPatch(QHash<QString, QImage>& cache, double blur, QColor color) {
    ShadowPatch patch;
    patch.margin = static_cast<int>(std::ceil(blur * 1.5));
    patch.corner = static_cast<int>(std::ceil(cornerRadius));
    const QString key = QString::number(blur) + '/' + QString::number(color.rgba(), 16);
    if (const auto found = cache.constFind(key); found != cache.constEnd()) {
        patch.image = *found;
        return patch;
    }

    const int side = 2 * (patch.margin + patch.corner) + 1;
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(patch.margin, patch.margin, 2 * patch.corner + 1, 2 * patch.corner + 1), cornerRadius,
                          cornerRadius);
    }
    blurAlpha(image, blur);
    QImage colored = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&colored);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(colored.rect(), color);
    }
    patch.image = colored;
    constexpr qsizetype kept = 8;
    if (cache.size() >= kept) cache.clear();
    cache.insert(key, colored);
    return patch;
}

}  // namespace

void drawShadow(QHash<QString, QImage>& cache, QPainter& painter, const QRectF& shape, double blur, QColor color,
                QPointF offset) {
    const ShadowPatch patch = shadowPatch(cache, blur, color);
    const double m = patch.margin;
    const double k = patch.margin + patch.corner;  // a corner slice's side
    const QRectF target = shape.translated(offset).adjusted(-m, -m, m, m);
    const double side = patch.image.width();
    const double xs[] = {target.left(), target.left() + k, target.right() - k, target.right()};
    const double ys[] = {target.top(), target.top() + k, target.bottom() - k, target.bottom()};
    const double us[] = {0, k, side - k, side};
    if (xs[2] < xs[1] || ys[2] < ys[1]) {
        painter.drawImage(target, patch.image);
        return;
    }
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            if (row == 1 && col == 1) continue;  // under the tile: clipped away anyway
            painter.drawImage(QRectF(QPointF(xs[col], ys[row]), QPointF(xs[col + 1], ys[row + 1])), patch.image,
                              QRectF(QPointF(us[col], us[row]), QPointF(us[col + 1], us[row + 1])));
        }
    }
}

QImage mappedImage(QSize pixels) {
    struct Mapping {
        void* data;
        std::size_t bytes;
    };
    const std::size_t bytesPerLine = std::size_t(std::max(0, pixels.width())) * 4;
    const std::size_t bytes = bytesPerLine * std::size_t(std::max(0, pixels.height()));
    if (bytes == 0) return QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    void* data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    auto* mapping = new Mapping{data, bytes};
    return QImage(
        static_cast<uchar*>(data), pixels.width(), pixels.height(), qsizetype(bytesPerLine),
        QImage::Format_ARGB32_Premultiplied,
        [](void* info) {
            auto* owned = static_cast<Mapping*>(info);
            ::munmap(owned->data, owned->bytes);
            delete owned;
        },
        mapping);
}

QColor composedOver(const QColor& top, const QColor& bottom) {
    const double a = top.alphaF() + bottom.alphaF() * (1 - top.alphaF());
    if (a <= 0) return QColor(0, 0, 0, 0);
    auto channel = [&](double t, double b) { return (t * top.alphaF() + b * bottom.alphaF() * (1 - top.alphaF())) / a; };
    return QColor::fromRgbF(float(channel(top.redF(), bottom.redF())), float(channel(top.greenF(), bottom.greenF())),
                            float(channel(top.blueF(), bottom.blueF())), float(a));
}

const QImage& badgeText(QHash<QString, QImage>& cache, const QString& number, const QFont& font, QSizeF size,
                        double ratio) {
    const QString key = number + QLatin1Char('|') + QString::number(font.pixelSize()) + QLatin1Char('|') +
                        QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height()) +
                        QLatin1Char('|') + QString::number(ratio);
    if (const auto found = cache.constFind(key); found != cache.constEnd()) return *found;
    if (cache.size() >= 256) cache.clear();
    QImage image((QSizeF(size.width(), size.height() + 1) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    const QRectF area(QPointF(0, 0), size);
    painter.setPen(QColor::fromRgbF(0, 0, 0, 0.35f));
    painter.drawText(area.translated(0, 1), Qt::AlignCenter, number);
    painter.setPen(QColor(255, 255, 255));
    painter.drawText(area, Qt::AlignCenter, number);
    painter.end();
    return *cache.insert(key, image);
}

QFont sizedFont(const QFont& base, double pixelSize, QFont::Weight weight) {
    QFont font(base);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    font.setWeight(weight);
    return font;
}

}  // namespace tessary::overlaydrawing
