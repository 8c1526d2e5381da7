#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "Tessary/shell/LayoutThumbnailModel.h"
#include "Tessary/shell/ui/ButtonStyles.h"
#include "Tessary/shell/ui/LayoutThumbnail.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"
#include "Tessary/shell/ui/LayoutTileList.h"
#include "Tessary/shell/ui/MenuRows.h"
#include "Tessary/shell/ui/StatusTag.h"
#include "Tessary/shell/ui/ZonePickerThumbnail.h"
#include "QtApplication.h"

using namespace tessary;
using LayoutThumbnailModel::ThumbnailZone;

namespace {

ZoneLayout columns(std::int64_t count, double spacing, double padding) {
    ZoneLayout layout(LayoutTemplate::columns, count, "Columns");
    layout.spacing = spacing;
    layout.padding = padding;
    return layout;
}

ZoneLayout overlappingCanvas() {
    ZoneLayout layout(LayoutTemplate::blank, 0, "Overlap");
    layout.kind = LayoutKind(ZoneCanvas{{1600, 1000}, {Rect(0, 0, 1000, 800), Rect(600, 200, 1000, 800)}});
    layout.padding = 0;
    return layout;
}

}  // namespace

TEST(LayoutThumbnailModel, ZonesAsTheThumbnailLaysThemOut) {
    struct Row {
        const char* name;
        ZoneLayout layout;
        Size size;
        bool highlighted;
        std::set<std::int64_t> chosen;
        bool tappable;
        std::vector<ThumbnailZone> expected;
    };
    const std::vector<Row> rows{
        {"gaps of 8 shrink to 2.0 between zones and 2.5 at the border", columns(2, 8, 8), {64, 40}, false, {}, false,
         {{0, Rect(2.5, 2.5, 28.5, 35), false, false}, {1, Rect(33, 2.5, 28.5, 35), false, false}}},
        {"gaps of 20 become 5.0", columns(2, 20, 20), {64, 40}, false, {}, false,
         {{0, Rect(5, 5, 24.5, 30), false, false}, {1, Rect(34.5, 5, 24.5, 30), false, false}}},
        {"a canvas scales from its reference size, later zones on top", overlappingCanvas(), {165, 105}, false, {},
         false, {{0, Rect(2.5, 2.5, 100, 80), false, false}, {1, Rect(62.5, 22.5, 100, 80), false, false}}},
        {"too small for the padding: only the background", columns(2, 8, 8), {4, 2.5}, true, {}, false, {}},
        {"the whole layout lit, nothing picked", columns(2, 8, 8), {64, 40}, true, {}, false,
         {{0, Rect(2.5, 2.5, 28.5, 35), true, false}, {1, Rect(33, 2.5, 28.5, 35), true, false}}},
        {"chosen zones with a tap handler are lit and picked", columns(3, 0, 0), {64, 40}, false, {0, 2}, true,
         {{0, Rect(2.5, 2.5, 18.333333333333332, 35), true, true},
          {1, Rect(22.833333333333332, 2.5, 18.333333333333336, 35), false, false},
          {2, Rect(43.166666666666664, 2.5, 18.333333333333336, 35), true, true}}},
        {"chosen zones without a handler are lit, not picked", columns(2, 8, 8), {64, 40}, false, {1}, false,
         {{0, Rect(2.5, 2.5, 28.5, 35), false, false}, {1, Rect(33, 2.5, 28.5, 35), true, false}}},
    };
    for (const Row& row : rows) {
        const auto zones = LayoutThumbnailModel::zones(row.layout, row.size, row.highlighted, row.chosen, row.tappable);
        ASSERT_EQ(zones.size(), row.expected.size()) << row.name;
        for (std::size_t i = 0; i < zones.size(); ++i) {
            EXPECT_EQ(zones[i].index, row.expected[i].index) << row.name;
            EXPECT_NEAR(zones[i].rect.origin.x, row.expected[i].rect.origin.x, 1e-9) << row.name;
            EXPECT_NEAR(zones[i].rect.origin.y, row.expected[i].rect.origin.y, 1e-9) << row.name;
            EXPECT_NEAR(zones[i].rect.size.width, row.expected[i].rect.size.width, 1e-9) << row.name;
            EXPECT_NEAR(zones[i].rect.size.height, row.expected[i].rect.size.height, 1e-9) << row.name;
            EXPECT_EQ(zones[i].lit, row.expected[i].lit) << row.name;
            EXPECT_EQ(zones[i].picked, row.expected[i].picked) << row.name;
        }
    }
    EXPECT_EQ(LayoutThumbnailModel::fittedSize({64, 1000}), (Size{64, 40}));
    EXPECT_EQ(LayoutThumbnailModel::fittedSize({1000, 40}), (Size{64, 40}));
}

TEST(LayoutThumbnailWidget, ClicksReportTheTopmostZoneAndChangeNothingByThemselves) {
    qttest::qtApplication();
    LayoutThumbnail thumbnail(overlappingCanvas());
    std::vector<std::int64_t> taps;
    thumbnail.setOnTapZone([&](std::int64_t index) { taps.push_back(index); });
    thumbnail.setHighlightedZones({0});
    thumbnail.setThumbnailWidth(160);
    thumbnail.show();
    QTest::mouseClick(&thumbnail, Qt::LeftButton, {}, QPoint(20, 20));   // zone 0 only
    QTest::mouseClick(&thumbnail, Qt::LeftButton, {}, QPoint(80, 50));   // both: 1 is on top
    QTest::mouseClick(&thumbnail, Qt::LeftButton, {}, QPoint(159, 99));  // the border: none
    EXPECT_EQ(taps, (std::vector<std::int64_t>{0, 1}));
    EXPECT_EQ(thumbnail.highlightedZones(), (std::set<std::int64_t>{0}));
    qttest::screenshot(thumbnail, "view-blocks", "thumbnail-overlapping-canvas");
}

// What a screen reader is told, through Qt's accessibility (AT-SPI on Linux): each zone is "Zone N",
// "selected" while lit; a button that taps it when the thumbnail takes taps, a picture otherwise.
TEST(LayoutThumbnailWidget, ScreenReadersHearEachZone) {
    qttest::qtApplication();
    struct Row {
        const char* name;
        bool tappable;
        bool highlighted;
        std::set<std::int64_t> lit;
        std::vector<std::string> heard;  // name, value and role of each zone
    };
    const Row rows[] = {
        {"a picture, the middle zone lit", false, false, {1}, {"Zone 1||picture", "Zone 2|selected|picture", "Zone 3||picture"}},
        {"a picker, zones 1 and 3 picked", true, false, {0, 2},
         {"Zone 1|selected|button", "Zone 2||button", "Zone 3|selected|button"}},
        {"a whole layout highlighted", false, true, {}, {"Zone 1|selected|picture", "Zone 2|selected|picture", "Zone 3|selected|picture"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LayoutThumbnail thumbnail(columns(3, 8, 8));
        std::vector<std::int64_t> taps;
        if (row.tappable) thumbnail.setOnTapZone([&](std::int64_t index) { taps.push_back(index); });
        thumbnail.setHighlighted(row.highlighted);
        thumbnail.setHighlightedZones(row.lit);
        thumbnail.setThumbnailWidth(160);
        thumbnail.show();
        QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(&thumbnail);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->text(QAccessible::Name), "Columns");
        ASSERT_EQ(picture->childCount(), 3);
        std::vector<std::string> heard;
        for (int i = 0; i < picture->childCount(); ++i) {
            QAccessibleInterface* zone = picture->child(i);
            ASSERT_NE(zone, nullptr);
            EXPECT_EQ(zone->parent(), picture);
            EXPECT_EQ(picture->indexOfChild(zone), i);
            EXPECT_EQ(zone->state().selected, zone->text(QAccessible::Value) == "selected");
            heard.push_back((zone->text(QAccessible::Name) + "|" + zone->text(QAccessible::Value) + "|" +
                             (zone->role() == QAccessible::Button ? "button" : "picture"))
                                .toStdString());
        }
        EXPECT_EQ(heard, row.heard);
        // A screen reader presses the second zone, and finds the third under its middle.
        if (QAccessibleActionInterface* press = picture->child(1)->actionInterface(); press && row.tappable) {
            press->doAction(QAccessibleActionInterface::pressAction());
        }
        EXPECT_EQ(taps, row.tappable ? std::vector<std::int64_t>{1} : std::vector<std::int64_t>{});
        EXPECT_EQ(picture->childAt(picture->child(2)->rect().center().x(), picture->child(2)->rect().center().y()),
                  picture->child(2));
    }
}

TEST(MenuRows, ADisplayRowShowsItsLayoutsInThreeColumnsUnderAHeaderCutInTheMiddle) {
    qttest::qtApplication();
    std::vector<ZoneLayout> layouts{columns(2, 8, 8), columns(3, 8, 8), overlappingCanvas(), columns(4, 8, 8)};
    layouts[1].name = "Columns";  // same name as the first: both tiles, told apart by identifier
    std::vector<std::string> chosen;
    const QString longName = "Built-in Retina Display of a very long name indeed";
    DisplayLayoutsRow row(longName, QString("Three Columns"), layouts, layouts[1].id,
                          [&](const ZoneLayout& layout) { chosen.push_back(layout.id.uuidString()); });
    row.show();
    EXPECT_EQ(row.columnCount(), 3);
    EXPECT_EQ(row.headerText(), longName + QString::fromUtf8(" · Three Columns"));
    LayoutTileList* tiles = row.tileList();
    ASSERT_EQ(row.tileCount(), 4);
    std::vector<bool> selected;
    for (int i = 0; i < tiles->tileCount(); ++i) selected.push_back(tiles->isTileSelected(i));
    EXPECT_EQ(selected, (std::vector<bool>{false, true, false, false}));
    EXPECT_EQ(tiles->tileRect(3).y(), tiles->tileRect(0).y() + tiles->tileRect(0).height() + 2) << "the fourth tile wraps";
    EXPECT_EQ(tiles->tileRect(3).x(), tiles->tileRect(0).x());
    EXPECT_EQ(tiles->tileRect(1).x(), tiles->tileRect(0).x() + 70 + 2);
    QTest::mouseClick(tiles->viewport(), Qt::LeftButton, Qt::NoModifier,
                      tiles->viewport()->mapFrom(tiles, tiles->tileRect(2).center()));
    EXPECT_EQ(chosen, (std::vector<std::string>{layouts[2].id.uuidString()}));
    // A screen reader hears each tile as an item named after its layout, the current one selected.
    std::vector<std::string> heard;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(tiles);
    ASSERT_EQ(list->childCount(), 4);
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* access = list->child(i);
        heard.push_back((access->text(QAccessible::Name) + (access->state().selected ? " (selected)" : "") +
                         (access->role() == QAccessible::ListItem ? " item" : ""))
                            .toStdString());
    }
    EXPECT_EQ(heard, (std::vector<std::string>{"Columns item", "Columns (selected) item", "Overlap item",
                                               "Columns item"}));
    // The display's layout has the accent border; another tile a faint one only under the pointer.
    const auto borderOf = [&](int tile) {
        const QRect place = tiles->tileRect(tile);
        return tiles->grab().toImage().pixelColor(place.left() + 1, place.center().y());
    };
    const QColor accent = tiles->palette().color(QPalette::Highlight);
    EXPECT_EQ(borderOf(1).rgb(), accent.rgb());
    const QColor unmarked = borderOf(3);
    QTest::mouseMove(tiles->viewport(), tiles->viewport()->mapFrom(tiles, tiles->tileRect(3).center()));
    EXPECT_NE(borderOf(3), unmarked) << "no border under the pointer";
    QTest::mouseMove(tiles->viewport(), tiles->viewport()->mapFrom(tiles, tiles->tileRect(1).center()));
    EXPECT_EQ(borderOf(3), unmarked) << "the border stayed when the pointer left";
    EXPECT_EQ(borderOf(1).rgb(), accent.rgb()) << "the accent border gave way to the hover's";
    const auto* header = row.findChild<MiddleElidedLabel*>();
    EXPECT_TRUE(header->text().contains(QChar(0x2026))) << header->text().toStdString();
    EXPECT_TRUE(header->text().endsWith("Columns"));
    qttest::screenshot(row, "view-blocks", "display-row");

    DisplayLayoutsRow bare("HDMI-1", std::nullopt, {}, std::nullopt, {});
    EXPECT_EQ(bare.headerText(), "HDMI-1");
    EXPECT_EQ(bare.tileCount(), 0);
    EXPECT_EQ(bare.tileList(), nullptr);
}

TEST(ViewBuildingBlocks, AnEditBarRemovesOnlyWhileItCanAndAnEmptyBoxNever) {
    qttest::qtApplication();
    QMenu addMenu;
    addMenu.addAction("Running apps");
    int removed = 0;
    ListEditBar bar("Remove Rule", &addMenu, [&] { ++removed; });
    bar.show();
    bar.setCanRemove(false);
    QTest::mouseClick(bar.removeButton(), Qt::LeftButton);
    bar.setCanRemove(true);
    QTest::mouseClick(bar.removeButton(), Qt::LeftButton);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(bar.removeButton()->accessibleName(), "Remove Rule");
    EXPECT_EQ(bar.addButton()->menu(), &addMenu);

    EmptyListForm withFooter("No Rules", "list.bullet", "Rules place new windows.", QString("First match wins."),
                             "Remove Rule", &addMenu);
    EmptyListForm withoutFooter("No Rules", "list.bullet", "Rules place new windows.", std::nullopt, "Remove Rule",
                                &addMenu);
    EXPECT_FALSE(withFooter.box()->bar()->removeButton()->isEnabled());
    EXPECT_NE(withFooter.findChild<QLabel*>("footer"), nullptr);
    EXPECT_EQ(withoutFooter.findChild<QLabel*>("footer"), nullptr);
    EXPECT_GE(withFooter.box()->minimumSizeHint().height(), 216);
    withFooter.resize(420, 320);
    qttest::screenshot(withFooter, "view-blocks", "empty-list-form");
}

TEST(ViewBuildingBlocks, GalleryForALook) {
    qttest::qtApplication();
    QWidget gallery;
    auto* stack = new QVBoxLayout(&gallery);
    auto* tags = new QHBoxLayout;
    tags->addWidget(new StatusTag("Granted", StatusTag::Tone::positive));
    tags->addWidget(new StatusTag("Not granted", StatusTag::Tone::warning));
    tags->addWidget(new StatusTag("A neutral tag that is rather long", StatusTag::Tone::neutral));
    stack->addLayout(tags);
    std::set<std::int64_t> picked{0, 2};
    stack->addWidget(new ZonePickerThumbnail(columns(3, 8, 8), picked, [](std::int64_t) {}));
    stack->addWidget(new TwoLineMenuRow("Update available", "Tessary 0.2 is ready", [] {}));
    auto* prominent = new QPushButton("Done");
    adaptiveButtonStyle(prominent, true);
    stack->addWidget(prominent);
    gallery.resize(460, 320);
    gallery.show();
    EXPECT_GT(stack->itemAt(0)->layout()->itemAt(2)->widget()->sizeHint().width(),
              stack->itemAt(0)->layout()->itemAt(0)->widget()->sizeHint().width())
        << "a long tag widens instead of truncating";
    qttest::screenshot(gallery, "view-blocks", "gallery");
}
