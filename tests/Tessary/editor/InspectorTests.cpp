#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QSlider>
#include <QTest>

#include <functional>

#include "Tessary/editor/LayoutInspectorModel.h"
#include "Tessary/editor/ResetMenuModel.h"
#include "Tessary/editor/ui/LayoutInspector.h"
#include "Tessary/editor/ui/ResetButton.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;
using ::testing::ElementsAre;

namespace {

using Origin = ZoneLayout::Origin;

ZoneLayout gapped(ZoneLayout layout, double spacing, double padding) {
    layout.spacing = spacing;
    layout.padding = padding;
    return layout;
}

}  // namespace

TEST(LayoutInspectorModel, WhatTheInspectorShows) {
    struct Case {
        const char* name;
        ZoneLayout layout;
        std::string kind;
        std::optional<std::string> createdFrom;
        std::string spacingText;
    };
    const Case cases[] = {
        {"twoColumnsThreeRowsReadColumnsFirst", gridLayout("G", ZoneGrid::uniform(3, 2)), "Grid \u00b7 2 \u00d7 3", std::nullopt, "0 px"},
        {"fiveRectangles", canvasLayout("C", {100, 100}, std::vector<Rect>(5, Rect(0, 0, 80, 60))), "Canvas \u00b7 5 zones", std::nullopt, "8 px"},
        {"noRectangles", canvasLayout("E", {100, 100}, {}), "Canvas \u00b7 0 zones", std::nullopt, "8 px"},
        {"oneRectangleInTheSingular", canvasLayout("O", {100, 100}, {Rect(0, 0, 80, 60)}), "Canvas \u00b7 1 zone", std::nullopt, "8 px"},
        // Set elsewhere to a fraction, the gap reads as stored, not as the whole points beside it.
        {"aStoredFractionIsShown", gapped(gridLayout("F", ZoneGrid::uniform(1, 2)), 7.6, 0), "Grid \u00b7 2 \u00d7 1", std::nullopt, "7.6 px"},
        {"hundredthsAtMost", gapped(gridLayout("H", ZoneGrid::uniform(1, 2)), 12.254, 0), "Grid \u00b7 2 \u00d7 1", std::nullopt, "12.25 px"},
        {"thePresetsTemplateIsNamed", canvasLayout("P", {100, 100}, {}, Origin{LayoutTemplate::blank, 0, "some-preset"}),
         "Canvas \u00b7 0 zones", "Blank", "8 px"},
        {"theTemplate", gridLayout("T", ZoneGrid::uniform(1, 3), Origin{LayoutTemplate::priorityGrid, 3, std::nullopt}),
         "Grid \u00b7 3 \u00d7 1", "Priority Grid", "0 px"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w({c.layout});
        const auto content = LayoutInspectorModel(*w.model).content();
        ASSERT_TRUE(content.has_value());
        EXPECT_EQ(content->kind, c.kind);
        EXPECT_EQ(content->createdFrom, c.createdFrom);
        EXPECT_EQ(content->spacingText, c.spacingText);
    }
}

TEST(LayoutInspectorModel, TogglesSlidersAndTheDefault) {
    // Layout A and B; the main display uses B explicitly.
    struct Case {
        const char* name;
        std::function<void(LayoutInspectorModel&, EditorWorld&)> act;
        std::vector<bool> aToggles;  // main, side, with A selected
        std::vector<bool> bToggles;
        bool aIsDefault;
        double aSpacing;
    };
    const Case cases[] = {
        {"turningOnMovesTheDisplayFromBToA", [](LayoutInspectorModel& i, EditorWorld& w) { i.setUsedOn(w.main, true); }, {true, false}, {false, false}, true, 0},
        {"turningOffAFallThroughChangesNothing", [](LayoutInspectorModel& i, EditorWorld& w) { i.setUsedOn(w.side, false); }, {false, false}, {true, false}, true, 0},
        {"makeDefaultMovesTheTag", [](LayoutInspectorModel& i, EditorWorld& w) { w.select(1); i.makeDefault(); w.select(0); }, {false, false}, {true, false}, false, 0},
        {"theSliderStoresTheNearestWholePoint", [](LayoutInspectorModel& i, EditorWorld&) { i.moveSpacingSlider(12.5); }, {false, false}, {true, false}, true, 13},
        {"theSliderStaysWithin48", [](LayoutInspectorModel& i, EditorWorld&) { i.moveSpacingSlider(60); }, {false, false}, {true, false}, true, 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 2)), gridLayout("B", ZoneGrid::uniform(1, 3))});
        w.select(1);
        w.model->assign(w.main);
        w.select(0);
        LayoutInspectorModel inspector(*w.model);
        c.act(inspector, w);
        const auto toggles = [&] {
            std::vector<bool> on;
            const auto content = inspector.content();
            for (const auto& t : content->displays) on.push_back(t.isOn);
            return on;
        };
        EXPECT_EQ(toggles(), c.aToggles);
        EXPECT_EQ(inspector.content()->isDefault, c.aIsDefault);
        EXPECT_EQ(w.layout(0).spacing, c.aSpacing);
        w.select(1);
        EXPECT_EQ(toggles(), c.bToggles);
    }
}

TEST(ResetMenuModel, TheMenuListsEveryTemplateAndGroup) {
    const auto menu = ResetMenuModel::menu();
    std::vector<std::string> titles;
    std::size_t presets = 0;
    for (const auto& entry : menu) {
        titles.push_back(entry.title);
        presets += entry.presets.size();
    }
    EXPECT_THAT(titles, ElementsAre("Focus", "Columns", "Rows", "Grid", "Priority Grid", "Blank", "", "Standard monitors",
                                    "Ultrawide", "Super ultrawide", "Laptop", "Portrait", "4K / 5K", "Focus & media"));
    EXPECT_EQ(presets, LayoutPreset::all().size());
}

TEST(ResetMenuModel, EachResetIsConfirmedAndActsOnlyOnTheLayoutItNamed) {
    enum class Answer { confirm, cancel, confirmAfterAnotherIsSelected };
    struct Case {
        const char* name;
        std::function<void(ResetMenuModel&)> choose;
        Answer answer;
        std::optional<ZoneGrid> grid;  // of the named layout after; nothing = unchanged
        std::set<std::int64_t> zonesAfter;
    };
    const Case cases[] = {
        {"resetToTemplateKeepsTheZoneCount", [](ResetMenuModel& r) { r.resetToTemplate(LayoutTemplate::rows); }, Answer::confirm, ZoneGrid::uniform(4, 1), {}},
        {"cancelChangesNothing", [](ResetMenuModel& r) { r.resetToTemplate(LayoutTemplate::rows); }, Answer::cancel, std::nullopt, {1}},
        {"anotherLayoutSelectedMeanwhile", [](ResetMenuModel& r) { r.resetToTemplate(LayoutTemplate::rows); }, Answer::confirmAfterAnotherIsSelected, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w({gridLayout("Quarters", ZoneGrid::uniform(2, 2)), gridLayout("Other", ZoneGrid::uniform(1, 2))});
        RecordingConfirm alert;
        ResetMenuModel reset(*w.model, alert.confirm());
        EXPECT_FALSE(reset.offersResetToDefault());
        w.model->setSelectedZones({1});
        c.choose(reset);
        ASSERT_EQ(alert.asked.size(), 1u);
        EXPECT_EQ(alert.asked[0], (ConfirmRequest{"Reset \u201cQuarters\u201d?",
                                            "Its zones are replaced and the changes you made to them are lost.", "Reset"}));
        if (c.answer == Answer::confirmAfterAnotherIsSelected) {
            w.select(1);
            w.model->setSelectedZones({});
        }
        if (c.answer != Answer::cancel) alert.answer();
        EXPECT_EQ(w.grid(0), c.grid.value_or(ZoneGrid::uniform(2, 2)));
        EXPECT_EQ(w.grid(1), ZoneGrid::uniform(1, 2));
        EXPECT_EQ(w.model->selectedZones(), c.zonesAfter);
        if (c.grid) {
            EXPECT_TRUE(reset.offersResetToDefault()) << "the reset stored an origin";
        }
    }
}

TEST(LayoutInspector, ShowingLayoutsWritesNothingAndTypingSavesEachKeystroke) {
    qttest::qtApplication();
    EditorWorld w({gapped(gridLayout("A", ZoneGrid::uniform(1, 2)), 7.6, 3), gridLayout("B", ZoneGrid::uniform(1, 3)),
                   canvasLayout("C", {100, 100}, {})});
    w.select(1);
    w.model->assign(w.side);
    w.select(0);
    w.files->writes.clear();
    const std::vector<ZoneLayout> before = w.library().layouts;
    LayoutInspector inspector(*w.model);
    inspector.show();
    for (std::size_t i : {1, 2, 0, 1, 0}) w.select(i);
    w.zones->updateLibrary([](LayoutLibrary&) {});  // a save from elsewhere refills too
    EXPECT_EQ(w.saves(), 1);
    EXPECT_EQ(w.library().layouts, before) << "no rename, gap, stamp or assignment from refilling";
    EXPECT_EQ(inspector.spacingSlider()->value(), 8) << "a stored 7.6 sits at the nearest whole point";

    inspector.nameField()->setFocus();
    inspector.nameField()->setCursorPosition(1);
    QTest::keyClicks(inspector.nameField(), "bc");
    EXPECT_EQ(w.layout(0).name, "Abc");
    EXPECT_EQ(w.saves(), 3);
    EXPECT_EQ(inspector.nameField()->cursorPosition(), 3) << "the refill after each save leaves the cursor";
    inspector.nameField()->selectAll();
    QTest::keyClick(inspector.nameField(), Qt::Key_Backspace);
    EXPECT_EQ(w.layout(0).name, "");

    inspector.displayToggles().at(1)->click();
    EXPECT_EQ(w.library().assignments.at("SIDE@800x600"), w.layout(0).id);
}

TEST(ResetButton, ShowsTheMenuWithoutAnOriginAndTheButtonWithOne) {
    qttest::qtApplication();
    EditorWorld w({gridLayout("Bare", ZoneGrid::uniform(1, 2)),
                   gridLayout("Made", ZoneGrid::uniform(1, 2), Origin{LayoutTemplate::columns, 2, std::nullopt})});
    ResetButton button(*w.model);
    button.show();
    EXPECT_TRUE(button.resetToTemplateButton()->isVisible());
    EXPECT_FALSE(button.resetToDefaultButton()->isVisible());
    EXPECT_EQ(button.templateMenu()->actions().size(), 14);
    w.select(1);
    EXPECT_TRUE(button.resetToDefaultButton()->isVisible());
    EXPECT_FALSE(button.resetToTemplateButton()->isVisible());
}
