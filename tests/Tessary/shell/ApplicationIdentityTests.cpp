#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

#include <fstream>
#include <string>

#include "Tessary/integrations/ui/AboutWindowController.h"
#include "Tessary/shell/OnboardingModel.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/ApplicationIdentity.h"
#include "Tessary/shell/ui/OnboardingView.h"
#include "Tessary/shell/ui/ReviewAlert.h"
#include "Tessary/shell/ui/StatusItemController.h"
#include "tests/Tessary/QtApplication.h"

using namespace tessary;

namespace {

// A picture as it shows on a surface of `under`, at 32 px.
QImage shownOn(const QPixmap& picture, const QColor& under, int size = 32) {
    QImage shown(size, size, QImage::Format_RGB32);
    shown.fill(under);
    QPainter p(&shown);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRect(0, 0, size, size), picture);
    return shown;
}

// The mean difference of two pictures of one size, per channel, 0 to 255.
double difference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

QPixmap labelPicture(const QWidget& window, const QString& name) {
    for (const QLabel* label : window.findChildren<QLabel*>(name)) {
        if (!label->pixmap().isNull()) return label->pixmap();
    }
    return {};
}

}  // namespace

// One icon for one program: the windows (and so the taskbar and the switcher), the About window,
// onboarding, the alerts and the tray show the same picture, not four of their own.
TEST(ApplicationIdentity, EveryPlaceShowsTheOneIcon) {
    qttest::qtApplication();
    nameApplication();
    const QIcon windows = QApplication::windowIcon();
    ASSERT_FALSE(windows.isNull()) << "the windows carry no icon of the program's";
    const QColor grey(128, 128, 128);
    const QImage icon = shownOn(windows.pixmap(64, 64), grey);

    AboutWindowController about({[] {}, [] {}, [] {}}, {"Debian GNU/Linux 12 (6.1.0-18-amd64)", "", ""});
    about.show();
    const QPixmap aboutPicture = labelPicture(*about.window(), QStringLiteral("programIcon"));
    ASSERT_FALSE(aboutPicture.isNull()) << "About shows no icon";
    EXPECT_LT(difference(shownOn(aboutPicture, grey), icon), 6.0) << "About's icon";

    OnboardingView onboarding(OnboardingView::Actions{[] {}, {}, {}, {}, {}});
    const QPixmap onboardingPicture = labelPicture(onboarding, QStringLiteral("programIcon"));
    ASSERT_FALSE(onboardingPicture.isNull()) << "onboarding shows no icon";
    EXPECT_LT(difference(shownOn(onboardingPicture, grey), icon), 6.0) << "onboarding's icon";

    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(alert, nullptr);
        asked = true;
        EXPECT_LT(difference(shownOn(alert->iconPixmap(), grey), icon), 6.0) << "the review alert's icon";
        alert->reject();
    });
    runReviewAlert(true);
    EXPECT_TRUE(asked);

    // The tray's form at a tray's size: the same picture, and on a light and a dark panel alike
    // a good part of it stands 3:1 off the panel (the tile on a light one, the zones on a dark one).
    const QPixmap tray = StatusItemController::drawIcon(false, Qt::blue).pixmap(22, 22);
    EXPECT_LT(difference(shownOn(tray, grey, 22), shownOn(windows.pixmap(22, 22), grey, 22)), 6.0) << "the tray's icon";
    for (const QColor panel : {QColor(242, 242, 242), QColor(43, 43, 43)}) {
        const QImage shown = shownOn(tray, panel, 22);
        int standingOut = 0;
        for (int y = 0; y < 22; ++y) {
            for (int x = 0; x < 22; ++x) standingOut += contrastRatio(shown.pixelColor(x, y), panel) >= 3.0 ? 1 : 0;
        }
        EXPECT_GE(standingOut, 22 * 22 / 5) << "the tray icon fades into a panel of " << panel.name().toStdString();
    }
}

// The icon's pictures are the program's own PNGs: reading them loads no image plugin (each would
// stay mapped for the program's life), at any size a window, the tray or a view asks for, and a
// disabled view still gets a picture.
TEST(ApplicationIdentity, TheIconLoadsNoImagePlugin) {
    qttest::qtApplication();
    nameApplication();
    const QIcon icon = QApplication::windowIcon();
    EXPECT_EQ(icon.availableSizes().size(), 7);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QPixmap picture = icon.pixmap(size, size);
        EXPECT_EQ(picture.width(), size);
        EXPECT_GT(difference(shownOn(picture, Qt::white, 32), shownOn(QPixmap(), Qt::white, 32)), 10.0) << "blank";
    }
    EXPECT_FALSE(icon.pixmap(32, 32, QIcon::Disabled).isNull());
    EXPECT_FALSE(StatusItemController::drawIcon(true, Qt::blue).pixmap(22, 22).isNull());
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        EXPECT_EQ(line.find("/imageformats/"), std::string::npos) << line;
    }
}
