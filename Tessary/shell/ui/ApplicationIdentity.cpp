#include "Tessary/shell/ui/ApplicationIdentity.h"

#include <QApplication>
#include <QPainter>

#include "TessaryCore/TessaryInfo.h"

namespace tessary {

namespace {

// The sizes compiled in (Tessary/CMakeLists.txt).
constexpr int compiledSizes[] = {16, 22, 24, 32, 48, 64, 128};

QString pictureOf(int size) { return QStringLiteral(":/icons/hicolor/%1x%1/apps/tessary.png").arg(size); }

}  // namespace

void nameApplication() {
    QCoreApplication::setApplicationName(QString::fromUtf8(TessaryInfo::productName.data(),
                                                           static_cast<qsizetype>(TessaryInfo::productName.size())));
    QGuiApplication::setDesktopFileName(QStringLiteral("tessary"));
    QGuiApplication::setWindowIcon(applicationIcon());
}

QIcon applicationIcon() {
    // Files, not pixmaps: a size is read only when a window or view asks for it.
    QIcon icon;
    for (const int size : compiledSizes) icon.addFile(pictureOf(size), QSize(size, size));
    return icon;
}

QPixmap applicationIcon(int size, qreal devicePixelRatio) {
    return applicationIcon().pixmap(QSize(size, size), devicePixelRatio);
}

QIcon applicationTrayIcon(bool withUpdateDot, const QColor& accent) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap = applicationIcon().pixmap(QSize(size, size));
        if (withUpdateDot) {
            QPainter p(&pixmap);
            p.setRenderHint(QPainter::Antialiasing);
            const double unit = size / 22.0;
            const double dot = 6 * unit;
            const QRectF place(size - 2 * unit - dot, 3 * unit, dot, dot);
            // A white ring keeps the dot apart from the tile under it.
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawEllipse(place.adjusted(-unit, -unit, unit, unit));
            p.setBrush(accent);
            p.drawEllipse(place);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace tessary
