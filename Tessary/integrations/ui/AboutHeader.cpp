#include "Tessary/integrations/ui/AboutHeader.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include "Tessary/shell/VersionInfo.h"
#include "TessaryCore/TessaryInfo.h"

namespace tessary {

QPixmap AboutHeader::applicationIcon(int size, qreal devicePixelRatio) {
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

AboutHeader::AboutHeader(int iconSize, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);

    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon(iconSize, devicePixelRatioF()));
    icon->setFixedSize(iconSize, iconSize);
    icon->setAccessibleName(QString());
    row->addWidget(icon, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* name = new QLabel(QString::fromUtf8(TessaryInfo::productName.data(),
                                              static_cast<qsizetype>(TessaryInfo::productName.size())),
                            this);
    name->setTextFormat(Qt::PlainText);
    QFont titleFont = name->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setWeight(QFont::DemiBold);
    name->setFont(titleFont);
    version_ = new QLabel(tr("Version %1").arg(QString::fromStdString(appVersionString())), this);
    version_->setObjectName(QStringLiteral("version"));
    version_->setTextFormat(Qt::PlainText);
    version_->setForegroundRole(QPalette::PlaceholderText);
    version_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    texts->addWidget(name);
    texts->addWidget(version_);
    row->addLayout(texts);
    row->addStretch(1);
}

}  // namespace tessary
