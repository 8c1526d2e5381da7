#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Tessary/services/ui/ZoneOverlayView.h"
#include "QtApplication.h"

using namespace tessary;

namespace {

// Draws the overlay as it would appear on a display, writes it (alone and over a stand-in desktop)
// under the build folder for a person to look at, and gives the overlay alone.
QImage render(OverlayModel& model, Preferences& preferences, QSize size, const std::string& name, bool compositing) {
    ZoneOverlayView view(model, preferences, true, true);
    view.setCompositing(compositing);
    view.resize(size);
    const QImage overlay = view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    // A later show copies the inactive tiles from the view's image: it must look the same.
    EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_ARGB32), overlay) << name << " shown again";
    EXPECT_TRUE(view.hasCache());

    QImage desktop(size, QImage::Format_ARGB32);
    {
        QPainter p(&desktop);
        QLinearGradient gradient(0, 0, size.width(), size.height());
        gradient.setColorAt(0, QColor(40, 70, 90));
        gradient.setColorAt(1, QColor(200, 170, 120));
        p.fillRect(desktop.rect(), gradient);
        p.fillRect(QRect(size.width() / 8, size.height() / 6, size.width() / 3, size.height() / 2), QColor(245, 245, 245));
        p.setPen(Qt::black);
        p.drawText(QRect(size.width() / 8 + 12, size.height() / 6 + 12, 400, 30), "A window being dragged");
        if (compositing) {
            p.drawImage(0, 0, overlay);
        } else {
            // Without a compositor only the masked part of the window shows, as painted.
            p.setClipRegion(view.mask().isEmpty() ? QRegion(view.rect()) : view.mask());
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(0, 0, overlay);
        }
    }
    const QString folder = QStringLiteral(QT_TESTCASE_BUILDDIR) + "/overlay-render";
    QDir().mkpath(folder);
    overlay.save(folder + "/" + QString::fromStdString(name) + ".png");
    desktop.save(folder + "/" + QString::fromStdString(name) + "-on-desktop.png");
    return overlay;
}

}  // namespace

TEST(ZoneOverlayRender, ThreeColumnsWithOneZoneHighlighted) {
    qttest::qtApplication();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    OverlayModel model;
    model.setZones({{0, Rect(8, 8, 628, 1064)}, {1, Rect(646, 8, 628, 1064)}, {2, Rect(1284, 8, 628, 1064)}});
    const std::vector<std::int64_t> one{1};
    model.setHighlighted(one);

    const QImage image = render(model, preferences, QSize(1920, 1080), "three-columns", true);
    EXPECT_LT(qAlpha(image.pixel(641, 540)), 40) << "the gap between zones stays nearly clear";
    EXPECT_GT(qAlpha(image.pixel(300, 300)), 0);
    // The highlighted zone is tinted less than the others (0.1 against 0.5).
    EXPECT_LT(qAlpha(image.pixel(900, 300)), qAlpha(image.pixel(300, 300)));
    // The hint capsule sits centred near the bottom.
    EXPECT_GE(qAlpha(image.pixel(960, 1080 - 56 - 17)), 205);

    render(model, preferences, QSize(1920, 1080), "three-columns-no-compositor", false);
}

TEST(ZoneOverlayRender, AZoneOfNegativeSizeIsLaidOutAtSizeZeroAtItsMinimumCorner) {
    qttest::qtApplication();
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    OverlayModel model;
    // Reaches from (400, 300) back to (200, 200): only its number badge shows, centred on (200, 200).
    model.setZones({{0, Rect(400, 300, -200, -100)}});

    const QImage image = render(model, preferences, QSize(640, 480), "negative-size", true);
    EXPECT_GT(qAlpha(image.pixel(200, 200)), 0);
    EXPECT_EQ(qAlpha(image.pixel(400, 300)), 0);
    EXPECT_EQ(qAlpha(image.pixel(300, 250)), 0);
}
