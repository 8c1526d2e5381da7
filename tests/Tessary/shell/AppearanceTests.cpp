#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <map>
#include <sstream>

#include "Platform/Sim/InMemorySyncStore.h"
#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/editor/ui/CanvasEditorView.h"
#include "Tessary/editor/ui/GridEditorView.h"
#include "Tessary/editor/ui/LayoutEditorView.h"
#include "Tessary/editor/ui/NewLayoutSheet.h"
#include "Tessary/integrations/CloudSync.h"
#include "Tessary/integrations/ui/AboutWindowController.h"
#include "Tessary/integrations/ui/FeedbackWindowController.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/settings/SettingsSectionInfo.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ZonesPaneModel.h"
#include "Tessary/settings/ui/OverlayPreview.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/OnboardingModel.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/LayoutThumbnail.h"
#include "Tessary/shell/ui/OnboardingView.h"
#include "Tessary/shell/ui/RowListView.h"
#include "Tessary/shell/ui/StatusTag.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/settings/SettingsWorld.h"
#include "tests/Tessary/editor/EditorWorld.h"
#include "tests/Tessary/shell/DesktopFonts.h"
#include "tests/Tessary/shell/FilledSettings.h"
#include "tests/Tessary/shell/IconThemes.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;

namespace {

constexpr double textMinimum = 4.5;     // WCAG AA, body text
constexpr double controlMinimum = 3.0;  // WCAG AA, parts of controls

// What a part of a screenshot shows: its commonest colour (the background) and the pixel that
// stands out most from it (the ink of the text or the edge of the control).
struct Sample {
    QColor background, ink;
    double ratio = 1;
};

Sample sample(const QImage& shot, const QRect& area) {
    std::map<QRgb, int> counts;
    const QRect inside = area.intersected(shot.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) ++counts[shot.pixel(x, y) | 0xff000000u];
    }
    Sample result;
    if (counts.empty()) return result;
    QRgb background = counts.begin()->first;
    for (const auto& [colour, count] : counts) {
        if (count > counts[background]) background = colour;
    }
    result.background = QColor::fromRgb(background);
    for (const auto& [colour, count] : counts) {
        const double ratio = contrastRatio(QColor::fromRgb(colour), result.background);
        if (ratio > result.ratio) {
            result.ratio = ratio;
            result.ink = QColor::fromRgb(colour);
        }
    }
    return result;
}

// The part of a widget the window shows, in the window's coordinates.
QRect shownArea(const QWidget& widget, const QWidget& window, const QRect& local) {
    const QRect visible = widget.visibleRegion().boundingRect().intersected(local);
    return visible.translated(widget.mapTo(&window, QPoint(0, 0)));
}

bool counts(const QWidget& widget) { return widget.isVisible() && widget.isEnabled() && !widget.visibleRegion().isEmpty(); }

// Where a widget draws its text, or an empty rectangle when it shows none.
QRect textArea(QWidget& widget) {
    if (auto* label = qobject_cast<QLabel*>(&widget)) {
        if (label->text().trimmed().isEmpty() || !label->pixmap().isNull()) return {};
        return label->contentsRect();
    }
    if (auto* check = qobject_cast<QCheckBox*>(&widget)) {
        if (check->text().isEmpty()) return {};
        QStyleOptionButton option;
        option.initFrom(check);
        option.text = check->text();
        return check->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check);
    }
    if (auto* button = qobject_cast<QPushButton*>(&widget)) {
        return button->text().isEmpty() ? QRect() : button->rect().adjusted(4, 3, -4, -3);
    }
    if (auto* tool = qobject_cast<QToolButton*>(&widget)) {
        if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly || tool->text().isEmpty()) return {};
        const int icon = tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon ? tool->iconSize().width() + 6 : 0;
        return tool->rect().adjusted(icon + 2, 2, -2, -2);
    }
    if (auto* combo = qobject_cast<QComboBox*>(&widget)) {
        return combo->currentText().isEmpty() ? QRect() : combo->rect().adjusted(4, 3, -combo->height(), -3);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(&widget)) {
        return edit->text().isEmpty() ? QRect() : edit->rect().adjusted(3, 3, -3, -3);
    }
    if (auto* editor = qobject_cast<QPlainTextEdit*>(&widget)) {
        return editor->toPlainText().isEmpty() ? QRect() : editor->viewport()->geometry().adjusted(2, 2, -2, -2);
    }
    // Read-only texts (a release note) draw from their viewport's edge.
    if (auto* text = qobject_cast<QTextEdit*>(&widget)) {
        return text->toPlainText().isEmpty() ? QRect() : text->viewport()->geometry();
    }
    if (auto* tag = qobject_cast<StatusTag*>(&widget)) return tag->text().isEmpty() ? QRect() : tag->rect();
    return {};
}

std::string describe(const QWidget& widget) {
    std::ostringstream out;
    out << widget.metaObject()->className() << " '" << widget.objectName().toStdString() << "'";
    if (auto* label = qobject_cast<const QLabel*>(&widget)) out << " \"" << label->text().left(40).toStdString() << "\"";
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget)) out << " \"" << button->text().toStdString() << "\"";
    return out.str();
}

// Every readable text in the window at 4.5:1, every check box's edge at 3:1 against what is
// around it, every divider a quiet line, every picture at 3:1, a thumbnail on a selected row seen,
// every icon in a list or tool bar inked. Saves the screenshot for a person to look at.
void expectReadable(QWidget& window, const QString& shotName) {
    QCoreApplication::processEvents();
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    qttest::screenshot(window, QStringLiteral("appearance"), shotName);
    SCOPED_TRACE(shotName.toStdString());
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!counts(*widget)) continue;
        const QRect local = textArea(*widget);
        if (local.isEmpty()) continue;
        const QRect area = shownArea(*widget, window, local);
        if (area.width() < 4 || area.height() < 6) continue;
        const Sample text = sample(shot, area);
        EXPECT_GE(text.ratio, textMinimum) << describe(*widget) << ": " << text.ink.name().toStdString() << " on "
                                           << text.background.name().toStdString();
    }
    for (QCheckBox* check : window.findChildren<QCheckBox*>()) {
        if (!counts(*check)) continue;
        QStyleOptionButton option;
        option.initFrom(check);
        const QRect box = check->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, check);
        const QRect area = shownArea(*check, window, box);
        if (area.width() < box.width()) continue;
        const QColor around = QColor::fromRgb(shot.pixel(area.left() - 2, area.center().y()));
        double edge = 1;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                edge = std::max(edge, contrastRatio(QColor::fromRgb(shot.pixel(x, y)), around));
            }
        }
        EXPECT_GE(edge, controlMinimum) << describe(*check) << (check->isChecked() ? " ticked" : " unticked") << " on "
                                        << around.name().toStdString();
    }
    // Every field shows where it is: its edge at 3:1 against the card around it (a focused field
    // wears the style's accent ring instead), recorders of shortcuts too.
    for (QLineEdit* field : window.findChildren<QLineEdit*>()) {
        if (!counts(*field) || !field->hasFrame() || field->hasFocus()) continue;
        const QRect area = shownArea(*field, window, field->rect());
        if (area.size() != field->size() || area.left() < 2) continue;
        const QColor around = QColor::fromRgb(shot.pixel(area.left() - 2, area.center().y()));
        double edge = 1;
        for (int y = area.top() + 4; y <= area.bottom() - 4; ++y) {
            for (int x = area.left(); x <= area.left() + 1; ++x) {
                edge = std::max(edge, contrastRatio(QColor::fromRgb(shot.pixel(x, y)), around));
            }
        }
        EXPECT_GE(edge, controlMinimum) << describe(*field) << ": a field's edge on " << around.name().toStdString();
    }
    // Icons beside a button's text show, also while the button is disabled.
    for (QToolButton* button : window.findChildren<QToolButton*>()) {
        if (!button->isVisible() || button->visibleRegion().isEmpty() || button->icon().isNull() ||
            button->toolButtonStyle() != Qt::ToolButtonTextBesideIcon) {
            continue;
        }
        // The face is a gradient: each pixel of the icon against the face at its left, on its row.
        const QRect area = shownArea(*button, window, QRect(3, 3, button->iconSize().width() + 6, button->height() - 6));
        double strongest = 1;
        QColor face;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const QColor left = QColor::fromRgb(shot.pixel(area.left(), y));
            for (int x = area.left() + 1; x <= area.right(); ++x) {
                const double ratio = contrastRatio(QColor::fromRgb(shot.pixel(x, y)), left);
                if (ratio > strongest) std::tie(strongest, face) = std::tuple(ratio, left);
            }
        }
        EXPECT_GE(strongest, controlMinimum) << describe(*button) << (button->isEnabled() ? "" : " disabled")
                                             << ": an icon that fades into " << face.name().toStdString();
    }
    for (QFrame* frame : window.findChildren<QFrame*>()) {
        const bool across = frame->frameShape() == QFrame::HLine;
        if (!counts(*frame) || (!across && frame->frameShape() != QFrame::VLine)) continue;
        const QRect line = shownArea(*frame, window, frame->rect());
        const QRect band = across ? line.adjusted(0, -4, 0, 4) : line.adjusted(-4, 0, 4, 0);
        const QColor around = sample(shot, band).background;
        double strongest = 1;
        for (int y = line.top(); y <= line.bottom(); ++y) {
            for (int x = line.left(); x <= line.right(); ++x) {
                strongest = std::max(strongest, contrastRatio(QColor::fromRgb(shot.pixel(x, y)), around));
            }
        }
        EXPECT_GT(strongest, 1.1) << describe(*frame) << ": a divider that cannot be seen";
        EXPECT_LT(strongest, controlMinimum) << describe(*frame) << ": a bright bar on " << around.name().toStdString();
    }
    for (QLabel* picture : window.findChildren<QLabel*>()) {
        if (!counts(*picture) || picture->pixmap().isNull()) continue;
        const Sample mark = sample(shot, shownArea(*picture, window, picture->contentsRect()));
        // An application's own icon keeps its colours on a selected row, as every list shows it.
        const QPalette& shown = QApplication::palette();
        if (mark.background == shown.color(QPalette::Active, QPalette::Highlight) ||
            mark.background == shown.color(QPalette::Inactive, QPalette::Highlight)) {
            continue;
        }
        EXPECT_GE(mark.ratio, controlMinimum) << describe(*picture) << ": a picture that fades into "
                                              << mark.background.name().toStdString();
    }
    // The zones preview and the editor's canvases draw their texts themselves: each zone's label,
    // found by its white ink where the label stands, reads on what is right behind it.
    const auto expectLabel = [&](const QRect& where, const std::string& what) {
        QRect ink;
        for (int y = where.top(); y <= where.bottom(); ++y) {
            for (int x = where.left(); x <= where.right(); ++x) {
                if (relativeLuminance(QColor::fromRgb(shot.pixel(x, y))) >= 0.85) ink |= QRect(x, y, 1, 1);
            }
        }
        ASSERT_FALSE(ink.isEmpty()) << what << " shows no label";
        const Sample label = sample(shot, ink);
        EXPECT_GE(label.ratio, textMinimum) << what << "'s label: " << label.ink.name().toStdString() << " on "
                                            << label.background.name().toStdString();
    };
    const auto shownRect = [&](const QWidget& widget, const Rect& r) {
        return QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height).toRect().translated(widget.mapTo(&window, QPoint(0, 0)));
    };
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (!counts(*child)) continue;
        if (auto* preview = dynamic_cast<OverlayPreview*>(child)) {
            for (const Zone& zone : previewZones({double(preview->width()), double(preview->height())})) {
                const QRect r = shownRect(*preview, zone.rect);
                expectLabel(QRect(r.left() + r.width() / 4, r.bottom() - 36, r.width() / 2, 26),
                            "zone " + std::to_string(zone.index + 1) + " of the preview");
            }
        } else if (auto* grid = dynamic_cast<GridEditorView*>(child)) {
            for (const auto& cell : grid->surface().cells()) {
                // Inside the selected cell's white edge.
                expectLabel(shownRect(*grid, cell.frame).adjusted(8, 8, -8, -8), "a grid cell");
            }
        } else if (auto* canvas = dynamic_cast<CanvasEditorView*>(child)) {
            for (const auto& zone : canvas->surface().zoneViews()) {
                const QRect r = shownRect(*canvas, zone.frame);
                const int side = int(2 * zone.badgeFontSize);
                expectLabel(QRect(r.center().x() - side, r.center().y() - side, 2 * side, 2 * side),
                            "zone " + std::to_string(zone.index + 1) + " of the canvas");
            }
        }
    }
    // The long lists draw their rows themselves: each text of a row in sight reads on the row, and
    // a thumbnail on the selected row is seen.
    for (RowListView* list : window.findChildren<RowListView*>()) {
        QWidget* rows = list->viewport();
        if (!counts(*list) || !counts(*rows)) continue;
        for (int row = 0; row < list->count(); ++row) {
            const ShownRow shown = list->shownRow(row);
            if (!rows->rect().contains(shown.rect)) continue;
            const std::string what = describe(*list) + " row " + std::to_string(row);
            for (const auto& [text, area] : {std::pair(shown.title, shown.titleRect), std::pair(shown.subtitle, shown.subtitleRect)}) {
                if (text.trimmed().isEmpty()) continue;
                const Sample ink = sample(shot, shownArea(*rows, window, area));
                EXPECT_GE(ink.ratio, textMinimum) << what << " \"" << text.toStdString() << "\": " << ink.ink.name().toStdString()
                                                  << " on " << ink.background.name().toStdString();
            }
            if (list->look().picture == RowLook::Picture::thumbnail && list->selectedRow() == row) {
                const Sample drawing = sample(shot, shownArea(*rows, window, shown.picture));
                // The thumbnail fills its zones at 45 % of its colour, about 2:1 on any row; on the
                // selection it keeps that instead of vanishing accent on accent.
                EXPECT_GE(drawing.ratio, 2.0) << "a thumbnail that fades into the selection";
            }
        }
    }
    for (QListWidget* list : window.findChildren<QListWidget*>()) {
        if (!counts(*list)) continue;
        for (int i = 0; i < list->count(); ++i) {
            const QIcon icon = list->item(i)->icon();
            if (icon.isNull()) continue;
            const QImage image = icon.pixmap(16, 16).toImage();
            EXPECT_GT(qttest::inkedPixels(image), 16) << "row " << list->item(i)->text().toStdString() << ": blank icon";
            EXPECT_FALSE(qttest::isPlainSquare(image)) << "row " << list->item(i)->text().toStdString();
        }
    }
    for (QToolBar* bar : window.findChildren<QToolBar*>()) {
        for (QAction* action : bar->actions()) {
            if (action->isSeparator() || action->icon().isNull()) continue;
            const QImage image = action->icon().pixmap(16, 16).toImage();
            EXPECT_GT(qttest::inkedPixels(image), 16) << action->text().toStdString() << ": blank icon";
            EXPECT_FALSE(qttest::isPlainSquare(image)) << action->text().toStdString();
        }
    }
}

struct Look {
    AppAppearance appearance;
    qttest::IconDesktop icons;
    qttest::DesktopFont font;
};

QString lookName(const Look& look) {
    return QString::fromUtf8(rawValue(look.appearance).data()) + "-" + qttest::name(look.icons) + "-" +
           QString::fromLatin1(look.font.family).toLower().replace(' ', '-');
}

// Every appearance in each desktop font without an icon theme, and with Adwaita's icons in the
// first font: the icons do not change with the font.
std::vector<Look> looks() {
    std::vector<Look> all;
    for (const auto& font : qttest::desktopFonts) {
        for (const auto appearance : {AppAppearance::system, AppAppearance::light, AppAppearance::dark}) {
            all.push_back({appearance, qttest::IconDesktop::noTheme, font});
        }
    }
    if (qttest::adwaitaInstalled()) {
        for (const auto appearance : {AppAppearance::system, AppAppearance::light, AppAppearance::dark}) {
            all.push_back({appearance, qttest::IconDesktop::adwaita, qttest::desktopFonts[0]});
        }
    }
    return all;
}

class SettingsLooks : public tessary::testing::FilledSettings {
protected:
    // Opens the settings window in each look in turn, hands it to `body`, and closes it again.
    void inEveryLook(const std::function<void(const Look&, SettingsWindow&)>& body) {
        for (const Look& look : looks()) {
            SCOPED_TRACE(lookName(look).toStdString());
            qttest::useIconDesktop(look.icons);
            const qttest::UsingFont font(look.font);
            preferences.setAppearance(look.appearance);
            body(look, open());
            window.reset();
        }
    }
};

}  // namespace

// The colour pairs the widgets draw.
struct Pair {
    QPalette::ColorRole ink, surface;
    double minimum;
};
const Pair pairs[] = {
    {QPalette::WindowText, QPalette::Window, textMinimum},
    {QPalette::WindowText, QPalette::Base, textMinimum},
    {QPalette::Text, QPalette::Base, textMinimum},
    {QPalette::ButtonText, QPalette::Button, textMinimum},
    {QPalette::PlaceholderText, QPalette::Window, textMinimum},
    {QPalette::PlaceholderText, QPalette::Base, textMinimum},
    {QPalette::PlaceholderText, QPalette::AlternateBase, textMinimum},
    {QPalette::WindowText, QPalette::AlternateBase, textMinimum},
    {QPalette::HighlightedText, QPalette::Highlight, textMinimum},
    {QPalette::Link, QPalette::Base, textMinimum},
    {QPalette::Link, QPalette::Window, textMinimum},
    {QPalette::ToolTipText, QPalette::ToolTipBase, textMinimum},
    {QPalette::Highlight, QPalette::Window, controlMinimum},
    {QPalette::Highlight, QPalette::Base, controlMinimum},
};

// An ink as it shows on its surface: Qt's stock palette draws secondary text translucent.
QColor composed(const QColor& ink, const QColor& surface) {
    const double a = ink.alphaF();
    return QColor::fromRgbF(static_cast<float>(ink.redF() * a + surface.redF() * (1 - a)),
                            static_cast<float>(ink.greenF() * a + surface.greenF() * (1 - a)),
                            static_cast<float>(ink.blueF() * a + surface.blueF() * (1 - a)));
}

void expectReadablePairs(const QPalette& palette) {
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        for (const auto& pair : pairs) {
            const QColor surface = palette.color(group, pair.surface);
            EXPECT_GE(contrastRatio(composed(palette.color(group, pair.ink), surface), surface), pair.minimum)
                << "role " << pair.ink << " on " << pair.surface;
        }
    }
}

// System is the desktop's palette, held to the same pairs: on Qt's stock palette (secondary text at
// half opacity, 3.9:1; white on its light blue selection, 3.6:1) only those roles are set, so every
// other role, and a change of the desktop's theme, still reaches the windows as the desktop gives it.
TEST(Appearance, SystemHandsThePaletteBackToTheDesktop) {
    qttest::qtApplication();
    QApplication::setPalette(QPalette());
    const QPalette desktop = QApplication::palette();
    applyAppearance(AppAppearance::system);
    const QPalette system = QApplication::palette();
    expectReadablePairs(system);
    const QPalette::ColorRole toned[] = {QPalette::PlaceholderText, QPalette::Highlight};
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto r = static_cast<QPalette::ColorRole>(role);
            if (r == QPalette::NoRole || std::find(std::begin(toned), std::end(toned), r) != std::end(toned)) continue;
            EXPECT_EQ(system.color(group, r), desktop.color(group, r)) << "role " << role << " is the desktop's";
        }
    }
    applyAppearance(AppAppearance::dark);
    EXPECT_NE(QApplication::palette(), system);
    applyAppearance(AppAppearance::system);
    EXPECT_EQ(QApplication::palette(), system);
}

// The style the desktop (or QT_STYLE_OVERRIDE) chose stays the one drawing, under our changes.
TEST(Appearance, TheChosenStyleStaysUnderOurs) {
    qttest::qtApplication();
    for (const char* chosen : {"windows", "fusion"}) {
        QApplication::setStyle(QString::fromLatin1(chosen));
        applyAppearance(AppAppearance::dark);
        auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
        ASSERT_NE(style, nullptr);
        EXPECT_EQ(style->baseStyle()->name(), chosen);
    }
    applyAppearance(AppAppearance::system);
}

// The colour pairs the widgets draw, in both palettes and every colour group a window is in.
TEST(Appearance, LightAndDarkGiveEveryRoleAndReadablePairs) {
    for (const auto appearance : {AppAppearance::light, AppAppearance::dark}) {
        SCOPED_TRACE(rawValue(appearance));
        const QPalette palette = appearancePalette(appearance);
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            if (role == QPalette::NoRole) continue;
            EXPECT_TRUE(palette.isBrushSet(QPalette::Active, static_cast<QPalette::ColorRole>(role))) << "role " << role;
            EXPECT_TRUE(palette.isBrushSet(QPalette::Disabled, static_cast<QPalette::ColorRole>(role))) << "role " << role;
        }
        expectReadablePairs(palette);
        EXPECT_LT(contrastRatio(palette.color(QPalette::Light), palette.color(QPalette::Window)), controlMinimum)
            << "the light edge of a sunken divider stays a quiet line";
    }
}

TEST_F(SettingsLooks, EveryPaneReadsInSystemLightAndDarkWithAndWithoutAnIconTheme) {
    inEveryLook([&](const Look& look, SettingsWindow& w) {
        for (int i = 0; i <= static_cast<int>(SettingsSection::about); ++i) {
            const auto section = static_cast<SettingsSection>(i);
            show(section);
            expectReadable(w, "settings-" + lookName(look) + "-" +
                                  QString::fromUtf8(settingsSectionTitle(section).data()).toLower().replace(' ', '-'));
        }
    });
}

// A shortcut recorder's clear button is the only sign of it: its icon stands 3:1 or more off the
// field in every appearance (the style's pale grey stood at 2.3:1 on a white field).
TEST_F(SettingsLooks, ARecordersClearIconStandsOffItsFieldInEveryAppearance) {
    inEveryLook([&](const Look& look, SettingsWindow& w) {
        show(SettingsSection::shortcuts);
        auto* control = w.findChild<QWidget*>(QStringLiteral("shortcut.snapToZone1"));
        ASSERT_NE(control, nullptr);
        auto* field = control->findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        QToolButton* clear = nullptr;
        for (QToolButton* button : field->findChildren<QToolButton*>()) {
            const QAction* action = button->defaultAction();
            if (action && action->objectName() == QLatin1String("_q_qlineeditclearaction")) clear = button;
        }
        ASSERT_NE(clear, nullptr);
        // Qt fades the button in.
        ASSERT_TRUE(QTest::qWaitFor([&] { return clear->isVisible() && clear->property("opacity").toReal() >= 1.0; }));
        const QImage shot = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
        qttest::screenshot(w, QStringLiteral("appearance"), "recorder-clear-" + lookName(look));
        const Sample icon = sample(shot, shownArea(*clear, w, clear->rect()));
        EXPECT_GE(icon.ratio, controlMinimum) << icon.ink.name().toStdString() << " on "
                                              << icon.background.name().toStdString();
    });
}

// A choice of appearance reaches the windows already open, also what they took from the palette
// once: the feedback editor's field, a rule's pattern error, the zone colour's swatch.
TEST_F(SettingsLooks, AnAppearanceChosenWhileWindowsAreOpenReachesThem) {
    const std::pair<AppAppearance, AppAppearance> switches[] = {{AppAppearance::light, AppAppearance::dark},
                                                                 {AppAppearance::dark, AppAppearance::light},
                                                                 {AppAppearance::dark, AppAppearance::system}};
    for (const auto& desktopFont : qttest::desktopFonts) {
        for (const auto& [from, to] : switches) {
            const QString name = QString::fromUtf8(rawValue(from).data()) + "-to-" + QString::fromUtf8(rawValue(to).data()) +
                                 "-" + QString::fromLatin1(desktopFont.family).toLower().replace(' ', '-');
            SCOPED_TRACE(name.toStdString());
            const qttest::UsingFont font(desktopFont);
            preferences.setAppearance(from);
            SettingsWindow& w = open();
            show(SettingsSection::rules);
            auto* pattern = w.findChild<QLineEdit*>(QStringLiteral("rulePattern"));
            ASSERT_NE(pattern, nullptr);
            pattern->clear();
            QTest::keyClicks(pattern, QStringLiteral("(unclosed"));
            // Each key rebuilds the rule's zones after its event; let the last rebuild show.
            QTest::qWait(20);
            VirtualScheduler scheduler;
            const auto feedback = FeedbackWindowController::make(scheduler);
            feedback->show();
            QTest::keyClicks(feedback->window()->findChild<QPlainTextEdit*>(QStringLiteral("message")),
                             QStringLiteral("The zones flicker"));

            // The editor's split commands, disabled with no zone chosen, drawn in the colours of then.
            tessary::testing::EditorWorld editorWorld({tessary::testing::gridLayout("Halves", ZoneGrid::uniform(1, 2))});
            editorWorld.select(0);
            LayoutEditorView editor(*editorWorld.model);
            editor.resize(1120, 700);
            editor.show();

            preferences.setAppearance(to);
            expectReadable(w, "switched-" + name + "-rules");
            expectReadable(*feedback->window(), "switched-" + name + "-feedback");
            expectReadable(editor, "switched-" + name + "-editor");
            window.reset();
        }
    }
}

TEST_F(SettingsLooks, TheChosenAppearanceSegmentStandsOutFromTheOthers) {
    for (const auto& desktopFont : qttest::desktopFonts) {
        for (const auto appearance : {AppAppearance::light, AppAppearance::dark}) {
            SCOPED_TRACE(std::string(rawValue(appearance)) + " in " + qttest::name(desktopFont));
            const qttest::UsingFont font(desktopFont);
            preferences.setAppearance(appearance);
            SettingsWindow& w = open();
            show(SettingsSection::general);
            QCoreApplication::processEvents();
            const QImage shot = w.grab().toImage();
            const auto face = [&](const char* raw) {
                auto* button = w.findChild<QPushButton*>(QStringLiteral("appearance.") + raw);
                return sample(shot, shownArea(*button, w, button->rect().adjusted(3, 3, -3, -3))).background;
            };
            const QColor chosen = face(rawValue(appearance).data());
            const QColor other = face("system");
            auto* general = w.pane();
            const QColor card = sample(shot, shownArea(*general, w, general->rect())).background;
            EXPECT_GE(contrastRatio(chosen, other), 2.5) << chosen.name().toStdString() << " against "
                                                         << other.name().toStdString();
            EXPECT_GE(contrastRatio(chosen, card), controlMinimum);
            window.reset();
        }
    }
}

TEST(Appearance, TheEditorAboutOnboardingAndFeedbackReadInSystemLightAndDarkWithAndWithoutAnIconTheme) {
    using namespace tessary::testing;
    qttest::qtApplication();
    for (const Look& look : looks()) {
        SCOPED_TRACE(lookName(look).toStdString());
        qttest::useIconDesktop(look.icons);
        const qttest::UsingFont font(look.font);
        applyAppearance(look.appearance);
        {
            EditorWorld w({gridLayout("Halves", ZoneGrid::uniform(1, 2),
                                      ZoneLayout::Origin{LayoutTemplate::columns, 2, std::nullopt}, 8),
                           canvasLayout("Free", {1920, 1080}, {Rect(0, 0, 1100, 1080), Rect(820, 0, 1100, 700)})});
            w.select(0);
            LayoutEditorView view(*w.model);
            view.resize(1120, 700);
            view.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
            expectReadable(view, "editor-" + lookName(look));
            w.select(1);
            expectReadable(view, "editor-canvas-" + lookName(look));
            w.select(0);
            w.model->setPresentingNewLayout(true);
            NewLayoutSheet& sheet = *view.newLayoutSheet();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
            expectReadable(sheet, "new-layout-sheet-" + lookName(look));
            sheet.reject();
        }
        AboutWindowController about({[] {}, [] {}, [] {}}, {"Debian GNU/Linux 12 (6.1.0-18-amd64)", "", ""});
        about.show();
        expectReadable(*about.window(), "about-" + lookName(look));

        OnboardingView::Actions steps;
        steps.refreshAccessibility = [] {};
        OnboardingView onboarding(steps);
        onboarding.setModel(OnboardingModel{false, false, ""});
        onboarding.resize(560, 520);
        onboarding.show();
        expectReadable(onboarding, "onboarding-" + lookName(look));

        VirtualScheduler scheduler;
        const auto feedback = FeedbackWindowController::make(scheduler);
        feedback->show();
        // The failure line, as a failed send shows it.
        feedback->window()->findChild<QLabel*>(QStringLiteral("failure"))->show();
        expectReadable(*feedback->window(), "feedback-" + lookName(look));
    }
    applyAppearance(AppAppearance::system);
}
