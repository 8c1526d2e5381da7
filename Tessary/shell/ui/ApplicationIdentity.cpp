#include "Tessary/shell/ui/ApplicationIdentity.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>

#include "TessaryCore/TessaryInfo.h"

namespace tessary {

void nameApplication() {
    QCoreApplication::setApplicationName(QString::fromUtf8(TessaryInfo::productName.data(),
                                                           static_cast<qsizetype>(TessaryInfo::productName.size())));
    QGuiApplication::setDesktopFileName(QStringLiteral("tessary"));
}

QPixmap applicationIcon(int size, qreal devicePixelRatio) {
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) return icon.pixmap(QSize(size, size), devicePixelRatio);

    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(size * 0.06, size * 0.06, size * 0.88, size * 0.88);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0.357f, 0.294f, 0.859f));  // the default zone colour
    painter.drawRoundedRect(tile, size * 0.2, size * 0.2);
    // Three by three zones, the first lit as a drop target is.
    const qreal gap = size * 0.05;
    const QRectF grid = tile.adjusted(size * 0.14, size * 0.14, -size * 0.14, -size * 0.14);
    const qreal cell = (grid.width() - 2 * gap) / 3;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            painter.setBrush(QColor(255, 255, 255, row == 0 && column == 0 ? 255 : 150));
            painter.drawRoundedRect(QRectF(grid.left() + column * (cell + gap), grid.top() + row * (cell + gap), cell, cell),
                                    cell * 0.18, cell * 0.18);
        }
    }
    return pixmap;
}

}  // namespace tessary
