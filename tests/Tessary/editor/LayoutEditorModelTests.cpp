#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Tessary/editor/LayoutEditorModel.h"
#include "Tessary/editor/ZoneEdits.h"
#include "TessaryCore/LayoutPreset.h"
#include "tests/Tessary/editor/EditorWorld.h"

using namespace tessary;
using namespace tessary::testing;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();
const Size fullHD{1920, 1080};
const LayoutPreset& somePreset() { return LayoutPreset::all().at(3); }

using Origin = ZoneLayout::Origin;

// The library every operation row starts from.
enum Index : std::size_t { three, freeform, newer, small, empty, bare, edited, preset, five, tiny };

std::vector<ZoneLayout> operationLibrary() {
    return {
        gridLayout("Three", ZoneGrid::uniform(1, 3), Origin{LayoutTemplate::columns, 3, std::nullopt}),
        canvasLayout("Free", fullHD, {Rect(0, 0, 960, 540), Rect(960, 540, 960, 540)}, Origin{LayoutTemplate::blank, 0, std::nullopt}),
        canvasLayout("Newer", fullHD, {Rect(100, 100, 400, 300)}, Origin{LayoutTemplate::blank, 1, "from-a-newer-version"}),
        canvasLayout("Small", Size{400, 300}, std::vector<Rect>(4, Rect(0, 0, 100, 100))),
        canvasLayout("Empty", fullHD, {}),
        gridLayout("Bare", ZoneGrid::uniform(2, 2)),
        gridLayout("Edited", ZoneGrid::uniform(1, 2), Origin{LayoutTemplate::columns, 4, std::nullopt}),
        canvasLayout("Preset", fullHD, {}, Origin{LayoutTemplate::blank, 0, somePreset().id()}),
        canvasLayout("Five", fullHD, std::vector<Rect>(5, Rect(0, 0, 100, 100))),
        canvasLayout("Tiny", Size{50, 40}, {}),
    };
}

enum class Stamp { none, selected, appended };

struct OperationCase {
    const char* name;
    std::optional<std::size_t> selected;
    std::set<std::int64_t> zonesBefore;
    std::function<void(EditorWorld&)> act;
    int saves;
    Stamp stamp;
    std::set<std::int64_t> zonesAfter;
    std::optional<std::string> errorAfter;  // "earlier" = the text set before the call, untouched
    std::function<void(const EditorWorld&)> check = nullptr;
};

ZoneGrid::DividerSegment firstDivider(const ZoneGrid& grid, ZoneGrid::SplitAxis axis) {
    for (const auto& d : grid.dividers()) {
        if (d.axis == axis) return d;
    }
    return {};
}

}  // namespace

TEST(LayoutEditorModel, EveryOperationStampsSavesAndLeavesTheSelectionAsItShould) {
    const LayoutPreset& p = somePreset();
    const OperationCase cases[] = {
        {"renameKeepsTheTextAsGiven", three, {}, [](EditorWorld& w) { w.model->rename("  Work "); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.layout(three).name, "  Work "); }},
        {"renameWithNothingSelected", std::nullopt, {}, [](EditorWorld& w) { w.model->rename("X"); }, 0, Stamp::none, {}, "earlier"},
        {"setSpacingRaisesANegativeValueToZero", freeform, {}, [](EditorWorld& w) { w.model->setSpacing(-4); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.layout(freeform).spacing, 0); }},
        // A new stamp would win the next merge over a real change made on another computer.
        {"setSpacingToTheStoredValueWritesNothing", three, {}, [](EditorWorld& w) { w.model->setSpacing(0); }, 0, Stamp::none, {}, "earlier"},
        {"setPaddingToTheStoredValueWritesNothing", freeform, {}, [](EditorWorld& w) { w.model->setPadding(8); }, 0, Stamp::none, {}, "earlier"},
        {"setSpacingRefusesNaN", freeform, {}, [](EditorWorld& w) { w.model->setSpacing(notANumber); }, 0, Stamp::none, {}, "earlier",
         [](const EditorWorld& w) {
             EXPECT_EQ(w.layout(freeform).spacing, 8);
             EXPECT_THAT(w.editorLog(), Contains("spacing refused: not a finite number"));
         }},
        {"setPaddingRefusesInfinity", freeform, {}, [](EditorWorld& w) { w.model->setPadding(-inf); }, 0, Stamp::none, {}, "earlier",
         [](const EditorWorld& w) { EXPECT_EQ(w.layout(freeform).padding, 8); }},
        {"setPaddingIsNotCappedAbove", freeform, {}, [](EditorWorld& w) { w.model->setPadding(300); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.layout(freeform).padding, 300); }},
        {"resetToOriginKeepsTheZonesOfAPresetThisVersionLacks", newer, {}, [](EditorWorld& w) { w.model->resetToOrigin(); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) {
             EXPECT_EQ(w.canvas(newer).zones, std::vector<Rect>{Rect(100, 100, 400, 300)});
             EXPECT_EQ(w.layout(newer).origin->preset, "from-a-newer-version");
         }},
        {"resetToOriginRebuildsTheTemplateAndCount", edited, {}, [](EditorWorld& w) { w.model->resetToOrigin(); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.grid(edited), ZoneGrid::uniform(1, 4)); }},
        {"resetToOriginRebuildsAKnownPreset", preset, {}, [](EditorWorld& w) { w.model->resetToOrigin(); }, 1, Stamp::selected, {}, std::nullopt,
         [&](const EditorWorld& w) { EXPECT_EQ(w.layout(preset).kind, p.build()); }},
        {"resetToOriginWithoutOriginStillStampsAndSaves", bare, {}, [](EditorWorld& w) { w.model->resetToOrigin(); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.grid(bare), ZoneGrid::uniform(2, 2)); }},
        {"resetToBlankTakesNoZonesWhateverTheCount", three, {}, [](EditorWorld& w) { w.model->resetToTemplate(LayoutTemplate::blank, 5); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) {
             EXPECT_EQ(w.layout(three).origin, (Origin{LayoutTemplate::blank, 0, std::nullopt}));
             EXPECT_EQ(w.canvas(three), (ZoneCanvas{fullHD, {}}));
             EXPECT_EQ(w.layout(three).name, "Three");
         }},
        {"resetToTemplateKeepsNameAndGaps", freeform, {}, [](EditorWorld& w) { w.model->resetToTemplate(LayoutTemplate::columns, 3); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) {
             EXPECT_EQ(w.grid(freeform), ZoneGrid::uniform(1, 3));
             EXPECT_EQ(w.layout(freeform).origin, (Origin{LayoutTemplate::columns, 3, std::nullopt}));
             EXPECT_EQ(w.layout(freeform).spacing, 8);
         }},
        {"resetToPresetTakesItsBodyAndOrigin", three, {}, [&](EditorWorld& w) { w.model->resetToPreset(p); }, 1, Stamp::selected, {}, std::nullopt,
         [&](const EditorWorld& w) {
             EXPECT_EQ(w.layout(three).kind, p.build());
             EXPECT_EQ(w.layout(three).origin, (Origin{LayoutTemplate::blank, w.layout(three).zoneCount(), p.id()}));
             EXPECT_EQ(w.layout(three).name, "Three");
         }},
        {"createFromBlankWithAnEmptyName", three, {1}, [](EditorWorld& w) { w.model->createLayout(LayoutTemplate::blank, 4, ""); }, 1, Stamp::appended, {}, "earlier",
         [](const EditorWorld& w) {
             const ZoneLayout& made = w.library().layouts.back();
             EXPECT_EQ(made.name, "Blank");
             EXPECT_EQ(made.kind, LayoutKind(ZoneCanvas{fullHD, {}}));
             EXPECT_EQ(made.origin, (Origin{LayoutTemplate::blank, 4, std::nullopt}));
         }},
        {"createWithANameOfSpacesKeepsIt", std::nullopt, {}, [](EditorWorld& w) { w.model->createLayout(LayoutTemplate::columns, 2, "  "); }, 1, Stamp::appended, {}, "earlier",
         [](const EditorWorld& w) { EXPECT_EQ(w.library().layouts.back().name, "  "); }},
        {"createFromAPresetWithAnEmptyName", freeform, {}, [&](EditorWorld& w) { w.model->createLayout(p, ""); }, 1, Stamp::appended, {}, "earlier",
         [&](const EditorWorld& w) { EXPECT_EQ(w.library().layouts.back().name, p.name()); }},
        {"duplicateWithSpacesUsesTheCopyName", three, {2}, [](EditorWorld& w) { w.model->duplicateLayout("  "); }, 1, Stamp::appended, {}, "earlier",
         [](const EditorWorld& w) {
             const ZoneLayout& copy = w.library().layouts.back();
             EXPECT_EQ(copy.name, "Three copy");
             EXPECT_NE(copy.id, w.layout(three).id);
             EXPECT_EQ(copy.kind, w.layout(three).kind);
             EXPECT_EQ(copy.origin, w.layout(three).origin);
         }},
        {"duplicateTrimsSpacesAndTabsButKeepsLineBreaks", three, {}, [](EditorWorld& w) { w.model->duplicateLayout(" \tMine\n\t"); }, 1, Stamp::appended, {}, "earlier",
         [](const EditorWorld& w) { EXPECT_EQ(w.library().layouts.back().name, "Mine\n"); }},
        {"duplicateWithNothingSelected", std::nullopt, {}, [](EditorWorld& w) { w.model->duplicateLayout("X"); }, 0, Stamp::none, {}, "earlier"},
        {"deletingTheDefaultSelectsTheNewDefault", three, {1}, [](EditorWorld& w) { w.model->deleteLayout(); }, 1, Stamp::none, {}, "earlier",
         [](const EditorWorld& w) {
             EXPECT_EQ(w.layout(0).name, "Free");
             EXPECT_EQ(w.library().defaultLayoutID, w.layout(0).id);
             EXPECT_EQ(w.model->selectedLayoutID(), w.layout(0).id);
             EXPECT_EQ(w.library().deletedLayouts.size(), 1u);
         }},
        {"assignStoresAnExplicitAssignment", freeform, {}, [](EditorWorld& w) { w.model->assign(w.main); }, 1, Stamp::none, {}, "earlier",
         [](const EditorWorld& w) { EXPECT_EQ(w.library().assignments.at("MAIN@1000x800"), w.layout(freeform).id); }},
        {"unassignOfADisplayNotAssignedDoesNothing", freeform, {}, [](EditorWorld& w) { w.model->unassign(w.main); }, 0, Stamp::none, {}, "earlier"},
        {"makeDefault", freeform, {}, [](EditorWorld& w) { w.model->makeDefault(); }, 1, Stamp::none, {}, "earlier",
         [](const EditorWorld& w) { EXPECT_EQ(w.library().defaultLayoutID, w.layout(freeform).id); }},
        {"mergeWithOneZoneSelectedDoesNothing", three, {1}, [](EditorWorld& w) { w.model->mergeSelectedZones(); }, 0, Stamp::none, {1}, "earlier"},
        {"mergeNotRectangular", three, {0, 2}, [](EditorWorld& w) { w.model->mergeSelectedZones(); }, 0, Stamp::none, {}, "mergeNotRectangular",
         [](const EditorWorld& w) {
             EXPECT_EQ(w.grid(three), ZoneGrid::uniform(1, 3));
             EXPECT_THAT(w.editorLog(), ElementsAre("edit rejected: mergeNotRectangular"));
         }},
        {"mergeOfTwoNeighbours", three, {0, 1}, [](EditorWorld& w) { w.model->mergeSelectedZones(); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.layout(three).zoneCount(), 2); }},
        {"splitWithTwoZonesSelectedDoesNothing", three, {0, 1}, [](EditorWorld& w) { w.model->splitSelectedZone(ZoneGrid::SplitAxis::horizontal); }, 0, Stamp::none, {0, 1}, "earlier"},
        {"splitOfOneZone", three, {1}, [](EditorWorld& w) { w.model->splitSelectedZone(ZoneGrid::SplitAxis::horizontal); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.layout(three).zoneCount(), 4); }},
        {"aGridCommandOnACanvasStampsAndSavesItUnchanged", freeform, {0, 1}, [](EditorWorld& w) { w.model->mergeSelectedZones(); }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.canvas(freeform).zones.size(), 2u); }},
        {"aCanvasCommandOnAGridStampsAndSavesItUnchanged", three, {2}, [](EditorWorld& w) { w.model->addZone(); }, 1, Stamp::selected, {2}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.grid(three), ZoneGrid::uniform(1, 3)); }},
        {"theSecondAddedZoneIs40PointsOn", empty, {}, [](EditorWorld& w) { w.model->addZone(); w.now = Date(1000.5); w.model->addZone(); w.now = Date(1000); }, 2, Stamp::none, {1},
         std::nullopt, [](const EditorWorld& w) {
             EXPECT_EQ(w.canvas(empty).zones, (std::vector<Rect>{Rect(576, 324, 768, 432), Rect(616, 364, 768, 432)}));
             EXPECT_EQ(w.layout(empty).modifiedAt(), Date(1000.5));
         }},
        {"theSixthAddedZoneStartsOverAtTheCentre", five, {0}, [](EditorWorld& w) { w.model->addZone(); }, 1, Stamp::selected, {5}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.canvas(five).zones.at(5), Rect(576, 324, 768, 432)); }},
        {"theFifthZoneOnASmallCanvasStaysOnIt", small, {}, [](EditorWorld& w) { w.model->addZone(); }, 1, Stamp::selected, {4}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.canvas(small).zones.at(4), Rect(240, 180, 160, 120)); }},
        {"aZoneAddedToATinyCanvasKeepsTheMinimumSize", tiny, {}, [](EditorWorld& w) { w.model->addZone(); }, 1, Stamp::selected, {0}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.canvas(tiny).zones.at(0), Rect(0, 0, 80, 60)); }},
        {"aNarrowFrameAtTheRightEdgeIsWidenedInwards", freeform, {}, [](EditorWorld& w) {
             (void)w.model->editCanvas([](ZoneCanvas& c) { return ZoneEdits::setZoneFrame(c, 0, Rect(1900, 0, 20, 100)); });
         }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.canvas(freeform).zones.at(0), Rect(1840, 0, 80, 100)); }},
        {"aNegativeWidthIsTakenByItsMagnitude", freeform, {}, [](EditorWorld& w) {
             (void)w.model->editCanvas([](ZoneCanvas& c) { return ZoneEdits::setZoneFrame(c, 0, Rect(500, 0, -200, 100)); });
         }, 1, Stamp::selected, {}, std::nullopt,
         [](const EditorWorld& w) { EXPECT_EQ(w.canvas(freeform).zones.at(0), Rect(500, 0, 200, 100)); }},
        {"aNonFiniteFrameIsARejectedEdit", freeform, {0}, [](EditorWorld& w) {
             (void)w.model->editCanvas([](ZoneCanvas& c) { return ZoneEdits::setZoneFrame(c, 0, Rect(notANumber, 0, 100, 100)); });
         }, 0, Stamp::none, {0}, "nonFiniteNumber",
         [](const EditorWorld& w) { EXPECT_THAT(w.editorLog(), ElementsAre("edit rejected: nonFiniteNumber")); }},
        {"anInfiniteDividerTargetIsARejectedEdit", three, {}, [](EditorWorld& w) {
             const auto divider = firstDivider(w.grid(three), ZoneGrid::SplitAxis::vertical);
             (void)w.model->editGrid([&](ZoneGrid& g) -> Expected<void, ZoneEditError> {
                 if (auto moved = ZoneEdits::moveDivider(g, divider, inf, 0.1, false); !moved) return unexpected(moved.error());
                 return {};
             });
         }, 0, Stamp::none, {}, "nonFiniteNumber"},
        {"anEditWithNothingSelected", std::nullopt, {}, [](EditorWorld& w) { w.model->addZone(); }, 0, Stamp::none, {}, "earlier"},
    };
    for (const OperationCase& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w(operationLibrary());
        w.model->setSelectedLayoutID(c.selected ? std::optional<UUID>(w.layout(*c.selected).id) : std::nullopt);
        w.model->setSelectedZones(c.zonesBefore);
        w.model->setErrorMessage("earlier");
        const std::vector<ZoneLayout> before = w.library().layouts;

        c.act(w);

        EXPECT_EQ(w.saves(), c.saves);
        EXPECT_EQ(w.model->selectedZones(), c.zonesAfter);
        EXPECT_EQ(w.model->errorMessage(), c.errorAfter);
        for (const ZoneLayout& layout : w.library().layouts) {
            const bool isNew = std::none_of(before.begin(), before.end(), [&](const ZoneLayout& b) { return b.id == layout.id; });
            const bool stamped = (c.stamp == Stamp::appended && isNew) ||
                                 (c.stamp == Stamp::selected && c.selected && layout.id == before[*c.selected].id);
            if (c.stamp == Stamp::none && c.saves > 1) continue;  // the row checks its own stamps
            EXPECT_EQ(layout.modifiedAt(), stamped ? Date(1000) : Date(0)) << layout.name;
        }
        if (c.stamp == Stamp::appended) {
            EXPECT_EQ(w.model->selectedLayoutID(), w.library().layouts.back().id);
        }
        // What the user sees after the next start: every saved change reached the file.
        if (c.saves > 0) {
            EXPECT_EQ(LayoutLibrary::fromJSON(json::parse(readFile(w.folder / "layouts.json"))), w.library());
        }
        if (c.check) c.check(w);
    }
}

TEST(LayoutEditorModel, ANonFiniteEditNeverCostsTheNextSave) {
    EditorWorld w(operationLibrary());
    w.select(freeform);
    w.model->setSpacing(notANumber);
    (void)w.model->editCanvas([](ZoneCanvas& c) { return ZoneEdits::setZoneFrame(c, 1, Rect(0, inf, 100, 100)); });
    w.model->rename("Kept");
    const LayoutLibrary stored = LayoutLibrary::fromJSON(json::parse(readFile(w.folder / "layouts.json")));
    EXPECT_EQ(stored.layouts.at(freeform).name, "Kept");
    EXPECT_EQ(stored, w.library());
}

TEST(LayoutEditorModel, AStampNeverGoesBackBehindTheStoredOne) {
    struct Case {
        const char* name;
        Date stored;
        std::vector<Date> clock;  // one rename per reading
        std::vector<Date> stamps;
    };
    const Case cases[] = {
        {"anotherDeviceAheadWinsBy1ms", Date(5000), {Date(1000)}, {Date(5000.001)}},
        {"twoEditsInOneMillisecond", Date(0), {Date(1000.0002), Date(1000.0004)}, {Date(1000), Date(1000.001)}},
        {"theClockPassingTheStoredStamp", Date(5000), {Date(1000), Date(6000.0006)}, {Date(5000.001), Date(6000.001)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZoneLayout layout = gridLayout("A", ZoneGrid::uniform(1, 2));
        layout.setModifiedAt(c.stored);
        EditorWorld w({layout});
        std::vector<Date> stamps;
        for (Date now : c.clock) {
            w.now = now;
            w.model->rename("B");
            stamps.push_back(w.layout(0).modifiedAt());
        }
        EXPECT_EQ(stamps, c.stamps);
    }
}

TEST(LayoutEditorModel, InitialSelection) {
    struct Case {
        const char* name;
        std::vector<ZoneLayout> layouts;
        bool firstIsDefault;
        bool defaultIsMissing;
        std::optional<std::size_t> selected;
    };
    const Case cases[] = {
        {"theDefault", {gridLayout("A", ZoneGrid::uniform(1, 1)), gridLayout("B", ZoneGrid::uniform(1, 2))}, true, false, 0},
        {"theFirstWithoutDefault", {gridLayout("A", ZoneGrid::uniform(1, 1)), gridLayout("B", ZoneGrid::uniform(1, 2))}, false, false, 0},
        {"nothingInAnEmptyLibrary", {}, false, false, std::nullopt},
        {"aDefaultThatIsGone", {gridLayout("A", ZoneGrid::uniform(1, 1))}, true, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w(c.layouts, c.firstIsDefault);
        if (c.defaultIsMissing) {
            LayoutLibrary library = w.library();
            const UUID gone = UUID::random();
            library.defaultLayoutID = gone;
            w.zones->setLibrary(library);
            LayoutEditorModel model(*w.zones);
            EXPECT_EQ(model.selectedLayoutID(), gone);
            EXPECT_EQ(model.currentLayout(), nullptr);
            model.rename("X");
            EXPECT_EQ(w.saves(), 0);
            continue;
        }
        EXPECT_EQ(w.model->selectedLayoutID(), c.selected ? std::optional<UUID>(w.layout(*c.selected).id) : std::nullopt);
    }
}

TEST(LayoutEditorModel, TheReferenceDisplayAndAssignment) {
    struct Case {
        const char* name;
        std::optional<std::uint32_t> preview;
        std::optional<std::uint32_t> sizeReference;
        bool assignedToSide;
        bool noDisplays;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"thePreviewedDisplayFirst", 2, 1, false, false, "SIDE"},
        {"aPreviewOfAGoneDisplayFallsToTheSizeReference", 9, 2, false, false, "SIDE"},
        {"theDisplayAssignedTheLayout", std::nullopt, std::nullopt, true, false, "SIDE"},
        {"elseTheFirstDisplay", std::nullopt, 9, false, false, "MAIN"},
        {"noneWithoutDisplays", std::nullopt, std::nullopt, false, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 2)), gridLayout("B", ZoneGrid::uniform(1, 3))});
        w.select(1);
        if (c.assignedToSide) w.model->assign(w.side);
        if (c.noDisplays) DisplayProvider::displaysOverride = std::vector<DisplayInfo>{};
        w.model->setPreviewDisplayID(c.preview);
        w.model->setSizeReferenceDisplayID(c.sizeReference);
        const auto display = w.model->referenceDisplay();
        EXPECT_EQ(display ? std::optional<std::string>(display->identifier) : std::nullopt, c.expected);
    }
}

TEST(LayoutEditorModel, OnlyAnExplicitAssignmentCountsAndUnassignSavesOnce) {
    EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 2)), gridLayout("B", ZoneGrid::uniform(1, 3))});
    EXPECT_TRUE(w.model->isDefault());
    EXPECT_FALSE(w.model->isAssigned(w.main)) << "the default merely falls through";
    w.model->assign(w.main);
    EXPECT_TRUE(w.model->isAssigned(w.main));
    w.model->unassign(w.main);
    EXPECT_FALSE(w.model->isAssigned(w.main));
    EXPECT_EQ(w.saves(), 2);
    w.select(1);
    EXPECT_FALSE(w.model->isDefault());
    w.model->deleteLayout();
    w.model->deleteLayout();
    EXPECT_EQ(w.model->selectedLayoutID(), std::nullopt) << "deleting the last layout leaves nothing selected";
    EXPECT_EQ(w.model->suggestedCopyName(), "");
}

TEST(LayoutEditorModel, ChangeNoticesComeOnlyForRealChanges) {
    EditorWorld w({gridLayout("A", ZoneGrid::uniform(1, 3))});
    using P = LayoutEditorModel::Property;
    std::vector<P> heard;
    const Subscription subscription = w.model->observe([&](P property) { heard.push_back(property); });

    w.model->setSelectedLayoutID(w.layout(0).id);
    w.model->setSelectedZones({});
    w.model->setPreviewDisplayID(std::nullopt);
    w.model->setPresentingNewLayout(false);
    w.model->rename("B");  // clears an error that is not there
    EXPECT_THAT(heard, IsEmpty());

    w.model->select(1, true);
    w.model->select(1, true);
    w.model->select(2, false);
    w.model->select(2, false);
    w.model->setPreviewDisplayID(1);
    w.model->setSizeReferenceDisplayID(2);
    w.model->setPresentingNewLayout(true);
    w.model->setSelectedZones({0, 2});
    w.model->mergeSelectedZones();  // refused: zone 1 lies between
    w.model->rename("C");
    EXPECT_THAT(heard, ElementsAre(P::selectedZones, P::selectedZones, P::selectedZones, P::previewDisplayID,
                                   P::sizeReferenceDisplayID, P::isPresentingNewLayout, P::selectedZones,
                                   P::errorMessage, P::selectedZones, P::errorMessage));
}

TEST(ZoneEdits, MoveDividerClampsSnapsAndMovesWholeLines) {
    using Axis = ZoneGrid::SplitAxis;
    const ZoneGrid twoColumns = ZoneGrid::uniform(1, 2);
    // Row 0 cut at 1, row 1 at 1.5.
    const ZoneGrid staggered = madeGrid({1, 1}, {1, 0.5, 1.5}, {{0, 1, 1}, {2, 2, 3}});
    // Row 0 cut at 0.1, row 1 at 1.
    const ZoneGrid nearEdge = madeGrid({1, 1}, {0.1, 0.9, 2}, {{0, 1, 1}, {2, 2, 3}});
    // One line at 1 in two runs: row 0 may travel to 2, row 1 to 3.
    const ZoneGrid twoRuns = madeGrid({1, 1}, {1, 1, 1}, {{0, 1, 2}, {3, 4, 4}});
    const ZoneGrid narrow = madeGrid({1}, {0.05, 0.05, 2.9}, {{0, 1, 2}});
    const auto run = [](const ZoneGrid& grid, double position, std::int64_t track) {
        for (const auto& d : grid.dividers()) {
            if (d.axis == Axis::vertical && std::abs(d.position - position) < 1e-9 && d.tracks.contains(track)) return d;
        }
        ADD_FAILURE() << "no run at " << position;
        return ZoneGrid::DividerSegment{};
    };
    struct Case {
        const char* name;
        ZoneGrid grid;
        ZoneGrid::DividerSegment segment;
        double target;
        double tolerance;
        bool wholeLine;
        std::optional<double> applied;
        std::optional<std::vector<double>> columns;  // after; nothing = unchanged
        bool nonFinite = false;
        std::optional<bool> cutRemainsAtStart = std::nullopt;
    };
    ZoneGrid::DividerSegment gone = run(twoColumns, 1, 0);
    gone.position = 0.5;
    const Case cases[] = {
        {"towardsZeroStopsAt0.08", twoColumns, run(twoColumns, 1, 0), -3, 0.05, false, 0.08, std::vector<double>{0.08, 1.92}},
        {"towardsTwoStopsAt1.92", twoColumns, run(twoColumns, 1, 0), 9, 0.05, false, 1.92, std::vector<double>{1.92, 0.08}},
        {"snapsExactlyToANeighbourWithinTolerance", staggered, run(staggered, 1, 0), 1.47, 0.05, false, 1.5, std::vector<double>{1.5, 1.5}},
        {"doesNotSnapBeyondTolerance", staggered, run(staggered, 1, 0), 1.4, 0.05, false, 1.4, std::nullopt},
        {"neverSnapsToASegmentOutsideTheClamp", nearEdge, run(nearEdge, 1, 1), -1, 0.05, false, 0.12, std::nullopt},
        {"oneRunAloneMovesWithinItsOwnTravel", twoRuns, run(twoRuns, 1, 1), 2.95, 0.01, false, 2.88, std::nullopt, false, true},
        {"theWholeLineTakesTheTightestTravel", twoRuns, run(twoRuns, 1, 1), 2.95, 0.01, true, 1.88, std::nullopt, false, false},
        {"aSegmentNoLongerThereChangesNothing", twoColumns, gone, 1.5, 0.05, false, std::nullopt, std::vector<double>{1, 1}},
        {"noRoomChangesNothing", narrow, run(narrow, 0.05, 0), 0.07, 0.01, false, std::nullopt, std::vector<double>{0.05, 0.05, 2.9}},
        {"aNaNTargetIsRefused", twoColumns, run(twoColumns, 1, 0), notANumber, 0.05, false, std::nullopt, std::vector<double>{1, 1}, true},
        {"anInfiniteToleranceIsRefused", twoColumns, run(twoColumns, 1, 0), 1.2, inf, false, std::nullopt, std::vector<double>{1, 1}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZoneGrid grid = c.grid;
        const auto moved = ZoneEdits::moveDivider(grid, c.segment, c.target, c.tolerance, c.wholeLine);
        ASSERT_EQ(moved.hasValue(), !c.nonFinite);
        if (c.nonFinite) {
            EXPECT_EQ(moved.error(), ZoneEditError::nonFiniteNumber());
            EXPECT_EQ(grid, c.grid);
            continue;
        }
        ASSERT_EQ(moved->has_value(), c.applied.has_value());
        if (c.applied) {
            EXPECT_NEAR(**moved, *c.applied, 1e-12);
        }
        if (c.columns) {
            ASSERT_EQ(grid.columnWeights.size(), c.columns->size());
            for (std::size_t i = 0; i < c.columns->size(); ++i) EXPECT_NEAR(grid.columnWeights[i], (*c.columns)[i], 1e-12);
        }
        if (c.applied) {
            const bool runAtApplied = std::ranges::any_of(grid.dividers(), [&](const auto& d) {
                return d.axis == Axis::vertical && std::abs(d.position - *c.applied) < 1e-9;
            });
            EXPECT_TRUE(runAtApplied) << "the grid has a cut where the move says it put one";
        }
        if (c.cutRemainsAtStart) {
            const bool remains = std::ranges::any_of(grid.dividers(), [&](const auto& d) {
                return d.axis == Axis::vertical && std::abs(d.position - c.segment.position) < 1e-9;
            });
            EXPECT_EQ(remains, *c.cutRemainsAtStart);
        }
    }
}
