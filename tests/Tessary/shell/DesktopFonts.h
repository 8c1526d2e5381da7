#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontInfo>

namespace tessary::qttest {

// The sans fonts desktops ship as their default, each at the size its desktop gives it (Qt's own
// default, Plasma's, GNOME's): a text that reads in one need not in another, a thin digit in one
// face never reaching full ink where another's does.
struct DesktopFont {
    const char* family;
    int pointSize;
};
inline constexpr DesktopFont desktopFonts[] = {{"DejaVu Sans", 9}, {"Noto Sans", 10}, {"Cantarell", 11}};

// The application's font while it lives; the one before it afterwards. A face the machine lacks
// fails the test where it is asked for, instead of fontconfig's quiet substitute passing for it.
class UsingFont {
public:
    explicit UsingFont(const DesktopFont& font) : before_(QApplication::font()) {
        QApplication::setFont(QFont(QString::fromLatin1(font.family), font.pointSize));
        EXPECT_EQ(QFontInfo(QApplication::font()).family().toStdString(), font.family)
            << "the tests' fonts (scripts/setup installs them) lack " << font.family;
    }
    ~UsingFont() { QApplication::setFont(before_); }
    UsingFont(const UsingFont&) = delete;
    UsingFont& operator=(const UsingFont&) = delete;

private:
    QFont before_;
};

inline std::string name(const DesktopFont& font) {
    return std::string(font.family) + " " + std::to_string(font.pointSize) + " pt";
}

}  // namespace tessary::qttest
