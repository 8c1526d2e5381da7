#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "Tessary/shell/ui/ApplicationIdentity.h"
#include "Tessary/shell/ui/ReviewAlert.h"
#include "tests/Tessary/QtApplication.h"

using namespace tessary;
using qttest::buttonTitled;

// Alerts, confirmations and windows without a title of their own are titled on the screen with the
// application's display name (the X window's title is made there, not in the widget), which Qt
// otherwise takes from the executable: "tessary", here "TessaryTests".
TEST(ApplicationIdentity, AlertsAreTitledTessary) {
    qttest::qtApplication();
    nameApplication();
    EXPECT_EQ(QApplication::applicationDisplayName(), "Tessary");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "tessary");
}

// An invitation with the application's icon, not a warning; "Write a Review" only where there is a
// page to write it on, and the alert says why not.
TEST(ReviewAlert, OffersAReviewOnlyWithAPageAndShowsTheApplicationsIcon) {
    qttest::qtApplication();
    struct Row {
        const char* name;
        bool hasReviewPage;
        bool reviewEnabled;
        bool saysWhy;
    };
    const Row rows[] = {{"a review page", true, true, false}, {"no review page", false, false, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(alert, nullptr);
            seen = true;
            EXPECT_EQ(alert->icon(), QMessageBox::NoIcon) << "no warning triangle";
            EXPECT_FALSE(alert->iconPixmap().isNull()) << "the application's icon";
            EXPECT_EQ(alert->text(), "Enjoying Tessary?");
            QAbstractButton* review = buttonTitled(*alert, "Write a Review");
            ASSERT_NE(review, nullptr);
            EXPECT_EQ(review->isEnabled(), row.reviewEnabled);
            EXPECT_EQ(alert->informativeText().contains("This build has no review page"), row.saysWhy);
            buttonTitled(*alert, "Not Now")->click();
        });
        EXPECT_EQ(runReviewAlert(row.hasReviewPage), ReviewPrompt::Answer::notNow);
        EXPECT_TRUE(seen);
    }
}
