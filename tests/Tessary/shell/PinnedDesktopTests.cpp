// What the tests measure text and pixels with is the tests' own, whatever else the machine has: a
// desktop machine with thousands of fonts and its own theme gives the verdict a bare one gives.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QProxyStyle>
#include <QStyle>

#include <cstdlib>
#include <cstring>

#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/shell/DesktopFonts.h"

using namespace tessary;

TEST(PinnedDesktop, TheFontsAreTheTestsOwnAndTheDefaultSansIsTheChosenSet) {
    qttest::qtApplication();
    const char* set = std::getenv("TESSARY_TEST_FONTS");
    const bool desktop = set && std::strcmp(set, "desktop") == 0;
    EXPECT_EQ(QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family().toStdString(),
              desktop ? "Noto Sans" : "DejaVu Sans");
    // Ours, and the generic names fontconfig answers for them.
    EXPECT_THAT(QFontDatabase::families(),
                ::testing::Each(::testing::AnyOf("DejaVu Sans", "DejaVu Sans Mono", "DejaVu Serif", "Noto Sans",
                                                 "Cantarell", "Sans Serif", "Serif", "Monospace")));
    for (const auto& font : qttest::desktopFonts) {
        SCOPED_TRACE(font.family);
        const qttest::UsingFont chosen(font);
    }
}

TEST(PinnedDesktop, NoDesktopChoosesTheStyleThemeOrBus) {
    for (const char* variable : {"XDG_CURRENT_DESKTOP", "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "GTK_THEME",
                                 "KDE_FULL_SESSION", "DESKTOP_SESSION"}) {
        EXPECT_EQ(std::getenv(variable), nullptr) << variable;
    }
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_NE(bus, nullptr);
    EXPECT_THAT(bus, ::testing::HasSubstr("no-session-bus"));
    qttest::qtApplication();
    // Qt's own choice where no desktop names one, under our style when a test set it.
    const QStyle* style = QApplication::style();
    if (auto* proxy = qobject_cast<const QProxyStyle*>(style)) style = proxy->baseStyle();
    EXPECT_STREQ(style->metaObject()->className(), "QFusionStyle");
}
