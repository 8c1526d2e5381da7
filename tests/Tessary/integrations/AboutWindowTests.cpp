#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "Tessary/integrations/ui/AboutWindowController.h"
#include "../QtApplication.h"

using namespace tessary;

namespace {

QStringList buttonTexts(QWidget* window) {
    QStringList texts;
    for (auto* button : window->findChildren<QPushButton*>()) texts << button->text();
    return texts;
}

}  // namespace

TEST(AboutWindow, ShowsTheSystemLineTheNoticeWhenThereIsOneAndThreeButtons) {
    qttest::qtApplication();
    struct Case {
        const char* name;
        std::string copyright;
        bool copyrightLine;
        std::string website;
    };
    const Case cases[] = {
        {"no copyright notice, no site", "", false, ""},
        {"a copyright notice and a site", "\xC2\xA9 2026 The Tessary authors", true, "https://tessary.example"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> pressed;
        AboutWindowController about({[&] { pressed.push_back("notes"); }, [&] { pressed.push_back("feedback"); },
                                     [&] { pressed.push_back("website"); }},
                                    {"Debian GNU/Linux 12 (6.1.0-18-amd64)", c.copyright, c.website});
        about.show();
        QWidget* window = about.window();
        qttest::screenshot(*window, "integrations-screens", c.copyrightLine ? "about-with-copyright" : "about");

        EXPECT_EQ(window->windowTitle(), "About Tessary");
        EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "not resizable";
        EXPECT_GE(window->width(), 400);
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);

        auto* system = window->findChild<QLabel*>("systemVersion");
        ASSERT_NE(system, nullptr);
        EXPECT_EQ(system->text(), "Debian GNU/Linux 12 (6.1.0-18-amd64)");
        EXPECT_TRUE(system->textInteractionFlags() & Qt::TextSelectableByMouse);
        auto* copyright = window->findChild<QLabel*>("copyright");
        EXPECT_EQ(copyright != nullptr, c.copyrightLine);
        if (copyright) {
            EXPECT_EQ(copyright->text().toStdString(), c.copyright);
            EXPECT_TRUE(copyright->textInteractionFlags() & Qt::TextSelectableByMouse);
        }
        EXPECT_EQ(window->findChild<QLabel*>("version")->text(), "Version 0.1.0");

        EXPECT_EQ(buttonTexts(window), (QStringList{"Release Notes", "Send Feedback\u2026", "Website"}));
        for (auto* button : window->findChildren<QPushButton*>()) button->click();
        const std::vector<std::string> expected =
            c.website.empty() ? std::vector<std::string>{"notes", "feedback"}
                              : std::vector<std::string>{"notes", "feedback", "website"};
        EXPECT_EQ(pressed, expected);
        for (auto* button : window->findChildren<QPushButton*>()) {
            if (button->text() == "Website") {
                EXPECT_EQ(button->toolTip(), c.website.empty() ? "This build has no web site configured." : "")
                    << "a disabled button says why";
            }
        }
    }
}

TEST(AboutWindow, ComesBackWhereTheUserLeftIt) {
    qttest::qtApplication();
    AboutWindowController about({});
    about.show();
    QWidget* window = about.window();
    window->move(window->pos() + QPoint(37, 23));
    const QPoint left = window->pos();
    window->close();
    EXPECT_FALSE(window->isVisible());

    about.show();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(about.window(), window);
    EXPECT_EQ(window->pos(), left);
}
