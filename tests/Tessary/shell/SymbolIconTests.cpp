#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPalette>

#include <map>
#include <set>

#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/SettingsSectionInfo.h"
#include "Tessary/settings/SyncPaneModel.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/SymbolIcon.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/shell/IconThemes.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;

namespace {

// Every symbol a view of ours asks for: the settings sidebar and the Sync pane's rows take theirs
// from their models; the others are named where the widget is built.
QStringList symbolsInUse() {
    QStringList used;
    for (int i = 0; i <= static_cast<int>(SettingsSection::about); ++i) {
        used << QString::fromUtf8(settingsSectionSymbol(static_cast<SettingsSection>(i)).data());
    }
    for (const auto& kind : syncedKinds()) used << QString::fromStdString(kind.symbol);
    // Editor toolbar and placeholder, list edit bars, the paused rule mark, an unknown application.
    used << "plus" << "plus.square.on.square" << "trash" << "eye" << "sidebar.trailing" << "rectangle.split.3x3"
         << "minus" << "pause.circle" << "app.dashed";
    used.removeDuplicates();
    return used;
}

QImage rendered(const QIcon& icon, int size, QIcon::Mode mode = QIcon::Normal) {
    return icon.pixmap(size, size, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

// The colour of the most opaque pixel: the ink of a one-colour drawing.
QColor ink(const QImage& image) {
    QRgb best = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > qAlpha(best)) best = image.pixel(x, y);
        }
    }
    return QColor::fromRgb(qRed(best), qGreen(best), qBlue(best));
}

}  // namespace

TEST(SymbolIcons, EverySymbolInUseIsOneWeKnow) {
    const QStringList known = knownSymbols();
    for (const QString& symbol : symbolsInUse()) {
        EXPECT_TRUE(known.contains(symbol)) << symbol.toStdString() << " would be drawn as a question";
        EXPECT_FALSE(freedesktopIconNames(symbol).isEmpty()) << symbol.toStdString();
    }
}

// With no icon theme every symbol is our own drawing: inked, not a hollow square, and unlike every
// other symbol, so no stand-in shape can hide among them.
TEST(SymbolIcons, WithoutAThemeEachSymbolIsADrawingOfItsOwn) {
    qttest::qtApplication();
    qttest::useIconDesktop(qttest::IconDesktop::noTheme);
    std::map<QByteArray, QString> seen;
    for (const QString& symbol : knownSymbols()) {
        SCOPED_TRACE(symbol.toStdString());
        for (const int size : {16, 32}) {
            const QImage image = rendered(symbolIcon(symbol), size);
            EXPECT_GT(qttest::inkedPixels(image), size) << "blank at " << size;
            EXPECT_FALSE(qttest::isPlainSquare(image)) << "a bare square at " << size;
        }
        const QImage large = rendered(symbolIcon(symbol), 32);
        const QByteArray key(reinterpret_cast<const char*>(large.constBits()), large.sizeInBytes());
        const auto [where, fresh] = seen.emplace(key, symbol);
        EXPECT_TRUE(fresh) << "draws the same as " << where->second.toStdString();
    }
}

// The desktop names no theme (Qt looks in hicolor, which has no action icons) while Adwaita is
// installed: every symbol in use shows a real icon, from Adwaita where it has one.
TEST(SymbolIcons, WithAdwaitaInstalledEverySymbolInUseShowsAnIcon) {
    qttest::qtApplication();
    if (!qttest::adwaitaInstalled()) GTEST_SKIP() << "Adwaita is not installed";
    qttest::useIconDesktop(qttest::IconDesktop::adwaita);
    EXPECT_EQ(QIcon::themeName(), "Adwaita");
    int fromTheme = 0;
    for (const QString& symbol : symbolsInUse()) {
        SCOPED_TRACE(symbol.toStdString());
        const QImage image = rendered(symbolIcon(symbol), 24);
        EXPECT_GT(qttest::inkedPixels(image), 24);
        EXPECT_FALSE(qttest::isPlainSquare(image));
        if (image != rendered(drawnSymbolIcon(symbol), 24)) ++fromTheme;
    }
    EXPECT_GE(fromTheme, 9) << "most symbols come from the theme";
}

// A theme that has a name only as a large picture (as Adwaita has "video-display", 512 pixels alone)
// is passed over for the next name it has at a small size, or for our drawing: Qt would keep the
// whole large picture for the life of the program to show sixteen pixels.
TEST(SymbolIcons, ANameTheThemeHasOnlyAsALargePictureIsPassedOver) {
    qttest::qtApplication();
    TemporaryFolder folder;
    const QDir root(QString::fromStdString(folder.path().string()));
    auto picture = [&](const QString& directory, const QString& name, int size, Qt::GlobalColor colour) {
        root.mkpath(QStringLiteral("large-only/") + directory);
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(root.filePath(QStringLiteral("large-only/") + directory + "/" + name + ".png")));
    };
    auto theme = [&](const QString& directories) {
        QFile index(root.filePath(QStringLiteral("large-only/index.theme")));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QString text = QStringLiteral("[Icon Theme]\nName=large-only\nDirectories=") + directories + "\n";
        for (const QString& directory : directories.split(',')) {
            const QString size = directory.section('x', 0, 0);
            text += "\n[" + directory + "]\nSize=" + size + "\nType=Fixed\n";
        }
        index.write(text.toUtf8());
    };
    picture(QStringLiteral("512x512"), QStringLiteral("video-display"), 512, Qt::blue);
    picture(QStringLiteral("16x16"), QStringLiteral("computer"), 16, Qt::red);
    const struct {
        const char* name;
        QString directories;
        QColor shown;
    } rows[] = {
        {"the next name, at its small size", QStringLiteral("512x512,16x16"), Qt::red},
        {"nothing small: our drawing", QStringLiteral("512x512"), QColor()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        theme(row.directories);
        QIcon::setThemeSearchPaths({root.path()});
        QIcon::setThemeName(QStringLiteral("large-only"));
        const QImage shown = rendered(symbolIcon(QStringLiteral("display")), 16);
        EXPECT_NE(shown.pixel(8, 8), QColor(Qt::blue).rgb()) << "the 512-pixel picture was taken";
        if (row.shown.isValid()) {
            EXPECT_EQ(shown.pixel(8, 8), row.shown.rgb());
        } else {
            EXPECT_EQ(shown, rendered(drawnSymbolIcon(QStringLiteral("display")), 16));
        }
    }
    qttest::useIconDesktop(qttest::IconDesktop::noTheme);
}

// A symbol's choice is made once and kept while nothing it depends on changes; a full-colour theme
// icon that stands out on a light window is given up for our drawing on a dark one, and taken again
// back in the light.
TEST(SymbolIcons, AChoiceKeptForLaterFollowsTheAppearance) {
    qttest::qtApplication();
    TemporaryFolder folder;
    const QDir root(QString::fromStdString(folder.path().string()));
    root.mkpath(QStringLiteral("ink-only/16x16"));
    QImage black(16, 16, QImage::Format_ARGB32);
    black.fill(Qt::black);
    ASSERT_TRUE(black.save(root.filePath(QStringLiteral("ink-only/16x16/computer.png"))));
    QFile index(root.filePath(QStringLiteral("ink-only/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=ink-only\nDirectories=16x16\n\n[16x16]\nSize=16\nType=Fixed\n");
    index.close();
    QIcon::setThemeSearchPaths({root.path()});
    QIcon::setThemeName(QStringLiteral("ink-only"));
    const struct {
        const char* name;
        AppAppearance appearance;
        bool themed;
    } rows[] = {
        {"light", AppAppearance::light, true},
        {"light, asked again", AppAppearance::light, true},
        {"dark", AppAppearance::dark, false},
        {"light again", AppAppearance::light, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        applyAppearance(row.appearance);
        const QImage shown = rendered(symbolIcon(QStringLiteral("display")), 16);
        if (row.themed) {
            EXPECT_EQ(shown.pixel(8, 8), QColor(Qt::black).rgb());
        } else {
            EXPECT_EQ(shown, rendered(drawnSymbolIcon(QStringLiteral("display")), 16));
        }
    }
    applyAppearance(AppAppearance::system);
    qttest::useIconDesktop(qttest::IconDesktop::noTheme);
}

// A drawing takes the palette's colours when it is painted: the text colour, the highlighted-text
// colour in a selected row, the disabled colour made just dark enough to be seen on the window,
// and the new text colour after a change to dark.
TEST(SymbolIcons, DrawingsTakeThePaletteOfTheMomentAndTheRowState) {
    qttest::qtApplication();
    qttest::useIconDesktop(qttest::IconDesktop::noTheme);
    applyAppearance(AppAppearance::light);
    const QIcon gear = symbolIcon("gear");
    const struct {
        const char* name;
        AppAppearance appearance;
        QIcon::Mode mode;
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
    } rows[] = {
        {"light, normal", AppAppearance::light, QIcon::Normal, QPalette::Active, QPalette::WindowText},
        {"light, selected", AppAppearance::light, QIcon::Selected, QPalette::Active, QPalette::HighlightedText},
        {"light, disabled", AppAppearance::light, QIcon::Disabled, QPalette::Disabled, QPalette::WindowText},
        {"dark after light, normal", AppAppearance::dark, QIcon::Normal, QPalette::Active, QPalette::WindowText},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        applyAppearance(row.appearance);
        const QPalette& palette = QApplication::palette();
        const QColor expected = row.mode == QIcon::Disabled ? seenWhenDisabled(palette, row.role, QPalette::Window)
                                                            : palette.color(row.group, row.role);
        const QColor drawn = ink(rendered(gear, 32, row.mode));
        if (row.mode == QIcon::Disabled) {
            EXPECT_GE(contrastRatio(drawn, palette.color(QPalette::Disabled, QPalette::Window)), 3.0);
            EXPECT_LT(contrastRatio(drawn, palette.color(QPalette::Disabled, QPalette::Window)),
                      contrastRatio(palette.color(QPalette::Active, row.role), palette.color(QPalette::Window)))
                << "paler than the enabled drawing";
        }
        EXPECT_LT(contrastRatio(drawn, expected), 1.1) << drawn.name().toStdString() << " for "
                                                       << expected.name().toStdString();
    }
    applyAppearance(AppAppearance::system);
}

// An application row shows the entry's own icon only when it draws: a file this Qt cannot read or
// a theme name the theme lacks gives the "app" symbol, never an empty square.
TEST(SymbolIcons, AnApplicationsIconThatCannotBeDrawnGivesTheAppSymbol) {
    qttest::qtApplication();
    qttest::useIconDesktop(qttest::IconDesktop::noTheme);
    TemporaryFolder folder;
    const QString unreadable = QString::fromStdString((folder / "broken.png").string());
    {
        QFile file(unreadable);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not an image");
    }
    const QString readable = QString::fromStdString((folder / "app.png").string());
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(readable));
    const struct {
        const char* name;
        std::optional<std::string> icon;
        bool own;
    } rows[] = {
        {"no icon named", std::nullopt, false},
        {"an image that is not one", unreadable.toStdString(), false},
        {"a file that is missing", (folder / "gone.png").string(), false},
        {"a theme name the theme lacks", "no-such-application-icon", false},
        {"a readable image", readable.toStdString(), true},
    };
    const QImage appSymbol = rendered(drawnSymbolIcon("app.dashed"), 24);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const AppInfo info({InstalledApplication{"org.example.App", "Example", row.icon, "/x.desktop"}}, {});
        const QImage shown = rendered(AppRow::applicationIcon(info, "org.example.App"), 24);
        EXPECT_GT(qttest::inkedPixels(shown), 24);
        EXPECT_EQ(shown == appSymbol, !row.own);
    }
}
