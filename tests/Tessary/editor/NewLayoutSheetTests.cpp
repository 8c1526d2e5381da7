#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>

#include <functional>

#include "Tessary/editor/NewLayoutSheetModel.h"
#include "Tessary/editor/ui/NewLayoutSheet.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;
using ::testing::ElementsAre;
using Choice = NewLayoutSheetModel::Choice;

namespace {

const LayoutPreset& firstPreset() { return LayoutPreset::all().front(); }

}  // namespace

TEST(NewLayoutSheetModel, WhatTheSheetOffersAndCreates) {
    struct Case {
        const char* name;
        std::function<void(NewLayoutSheetModel&)> act;
        bool showsZoneCount;
        std::string placeholder;
        std::int64_t previewZones;
        std::string createdName;
        LayoutKind createdKind;
        std::optional<ZoneLayout::Origin> createdOrigin;
    };
    const LayoutPreset& p = firstPreset();
    const Case cases[] = {
        {"itOpensAtThreeColumns", [](NewLayoutSheetModel&) {}, true, "Columns", 3, "Columns", ZoneGrid::uniform(1, 3),
         ZoneLayout::Origin{LayoutTemplate::columns, 3, std::nullopt}},
        {"theStepperStopsAt9", [](NewLayoutSheetModel& s) { s.setZoneCount(12); }, true, "Columns", 9, "Columns", ZoneGrid::uniform(1, 9),
         ZoneLayout::Origin{LayoutTemplate::columns, 9, std::nullopt}},
        {"theStepperStopsAt1", [](NewLayoutSheetModel& s) { s.setZoneCount(0); }, true, "Columns", 1, "Columns", ZoneGrid::uniform(1, 1),
         ZoneLayout::Origin{LayoutTemplate::columns, 1, std::nullopt}},
        {"blankHidesTheStepperButStoresItsCount", [](NewLayoutSheetModel& s) { s.setZoneCount(5); s.choose(Choice::of(LayoutTemplate::blank)); },
         false, "Blank", 0, "Blank", ZoneCanvas{{1920, 1080}, {}}, ZoneLayout::Origin{LayoutTemplate::blank, 5, std::nullopt}},
        {"aPresetIsNamedAfterItself", [&](NewLayoutSheetModel& s) { s.choose(Choice::of(p)); }, false, p.name(), p.makeLayout().zoneCount(),
         p.name(), p.build(), p.makeLayout().origin},
        {"aTypedNameIsKept", [](NewLayoutSheetModel& s) { s.setName("Mine"); }, true, "Columns", 3, "Mine", ZoneGrid::uniform(1, 3),
         ZoneLayout::Origin{LayoutTemplate::columns, 3, std::nullopt}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 2))});
        w.model->setPresentingNewLayout(true);
        NewLayoutSheetModel sheet(*w.model);
        c.act(sheet);
        EXPECT_EQ(sheet.showsZoneCount(), c.showsZoneCount);
        EXPECT_EQ(sheet.placeholder(), c.placeholder);
        EXPECT_EQ(sheet.previewLayout().zoneCount(), c.previewZones);
        sheet.create();
        const ZoneLayout& made = w.library().layouts.back();
        EXPECT_EQ(made.name, c.createdName);
        EXPECT_EQ(made.kind, c.createdKind);
        EXPECT_EQ(made.origin, c.createdOrigin);
        EXPECT_EQ(w.model->selectedLayoutID(), made.id);
        EXPECT_FALSE(w.model->isPresentingNewLayout());
    }
}

TEST(NewLayoutSheetModel, SectionsAndSuggestions) {
    const DisplayInfo laptop{1, "BUILTIN", "Built-in Display", Rect(0, 0, 1512, 982), Rect(0, 0, 1512, 950), true, true};
    const DisplayInfo monitor = makeDisplay(2, "DELL", Rect(1512, 0, 2560, 1440));
    struct Case {
        const char* name;
        std::vector<DisplayInfo> displays;
        std::optional<std::string> suggestedTitle;
    };
    const Case cases[] = {
        {"noDisplayNoSuggestions", {}, std::nullopt},
        {"oneLaptop", {laptop}, "Suggested for Built-in Display"},
        {"twoDisplaysJoined", {laptop, monitor}, "Suggested for Built-in Display, DELL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w({});
        DisplayProvider::displaysOverride = c.displays;
        NewLayoutSheetModel sheet(*w.model);
        sheet.setZoneCount(9);
        const auto sections = sheet.sections();
        ASSERT_EQ(sections.size(), c.suggestedTitle ? 9u : 8u);
        EXPECT_EQ(sections[0].title, "Templates");
        std::vector<std::int64_t> zones;
        std::vector<std::string> subtitles;
        for (const auto& tile : sections[0].tiles) {
            zones.push_back(tile.thumbnail.zoneCount());
            subtitles.push_back(tile.subtitle);
        }
        EXPECT_THAT(zones, ElementsAre(9, 9, 9, 9, 9, 0)) << "the template thumbnails follow the stepper";
        EXPECT_EQ(subtitles.back(), "Empty canvas");
        EXPECT_EQ(subtitles.front(), "1\u20139 zones");
        EXPECT_TRUE(sections[0].tiles[1].selected);
        if (c.suggestedTitle) {
            EXPECT_EQ(sections[1].title, *c.suggestedTitle);
            EXPECT_FALSE(sections[1].tiles.empty());
        }
        EXPECT_EQ(sections.back().title, "Focus & media");
    }
}

TEST(NewLayoutSheet, EscCancelsReturnCreatesAndEachOpeningStartsAfresh) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 2))});
    QWidget window;
    window.resize(1120, 700);
    window.show();
    NewLayoutSheet sheet(*w.model, &window);

    w.model->setPresentingNewLayout(true);
    sheet.present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    sheet.zoneCountField()->setValue(6);
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_FALSE(w.model->isPresentingNewLayout());
    EXPECT_EQ(w.library().layouts.size(), 1u) << "nothing made";

    w.model->setPresentingNewLayout(true);
    sheet.present();
    EXPECT_EQ(sheet.zoneCountField()->value(), 3) << "a new opening starts afresh";
    qttest::screenshot(sheet, "editor-render", "new-layout-sheet");
    sheet.tiles().at(2)->click();  // Rows
    sheet.nameField()->setFocus();
    QTest::keyClicks(sheet.nameField(), "Stack");
    QTest::keyClick(sheet.nameField(), Qt::Key_Return);
    EXPECT_FALSE(sheet.isVisible());
    ASSERT_EQ(w.library().layouts.size(), 2u);
    EXPECT_EQ(w.library().layouts.back().name, "Stack");
    EXPECT_EQ(w.library().layouts.back().kind, LayoutKind(ZoneGrid::uniform(3, 1)));
    EXPECT_EQ(w.model->selectedLayoutID(), w.library().layouts.back().id);
}

TEST(NewLayoutSheet, HoldsItsTilesOnlyWhileOpen) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 2))});
    QWidget window;
    window.resize(1120, 700);
    window.show();
    NewLayoutSheet sheet(*w.model, &window);
    auto tilesInGallery = [&] { return sheet.gallery()->widget()->findChildren<QAbstractButton*>().size(); };
    EXPECT_EQ(tilesInGallery(), 0u) << "none before the first opening";

    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        w.model->setPresentingNewLayout(true);
        sheet.present();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
        ASSERT_FALSE(sheet.tiles().empty());
        EXPECT_EQ(tilesInGallery(), sheet.tiles().size());
        sheet.tiles().at(2)->click();
        EXPECT_TRUE(sheet.tiles().at(2)->isChecked()) << "a reopened sheet's tiles still choose";
        QTest::keyClick(&sheet, Qt::Key_Escape);
        EXPECT_FALSE(w.model->isPresentingNewLayout());
        EXPECT_TRUE(sheet.tiles().empty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(tilesInGallery(), 0u) << "a closed sheet keeps no tiles";
    }
}
