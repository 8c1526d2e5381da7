#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "Platform/Sim/RecordingLogSink.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/ZoneGeometry.h"
#include "WindowEngine/DisplayProvider.h"
#include "WindowEngine/FakeWindowEngine.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Code = ZoneService::SnapError::Code;
using tessary::testing::makeDisplay;

namespace {

// A left display with a 30-point panel at the top, and a right one without panels.
const DisplayInfo leftDisplay = makeDisplay(1, "LEFT", Rect(0, 0, 1920, 1080), Rect(0, 30, 1920, 1050));
const DisplayInfo rightDisplay = makeDisplay(2, "RIGHT", Rect(1920, 0, 1920, 1080), Rect(1920, 0, 1920, 1080));

ZoneLayout columnsLayout(int count) {
    ZoneLayout layout(LayoutTemplate::columns, count);
    layout.spacing = 0;
    layout.padding = 0;
    return layout;
}

class ZoneServiceTest : public ::testing::Test {
protected:
    ZoneServiceTest() { DisplayProvider::displaysOverride = std::vector<DisplayInfo>{leftDisplay, rightDisplay}; }
    ~ZoneServiceTest() override { DisplayProvider::displaysOverride.reset(); }

    std::unique_ptr<ZoneService> makeService() {
        auto service = std::make_unique<ZoneService>(engine, JSONDocumentStore<LayoutLibrary>(file(), files));
        service->onChanged = [this] { ++changes; };
        service->onSnapped = [this](const WindowHandle& w, const DisplayInfo& d, const std::vector<std::int64_t>& z) {
            snapped.push_back({w, d.displayID, z});
        };
        return service;
    }

    // A service whose library holds only the given layouts, the first being the default.
    std::unique_ptr<ZoneService> serviceWith(std::vector<ZoneLayout> layouts) {
        auto service = makeService();
        service->setLibrary(LayoutLibrary{});
        service->updateLibrary([&](LayoutLibrary& library) {
            library.layouts = std::move(layouts);
            if (!library.layouts.empty()) library.defaultLayoutID = library.layouts.front().id;
        });
        changes = 0;
        return service;
    }

    std::filesystem::path file() const { return folder / "layouts.json"; }
    LayoutLibrary stored() const { return LayoutLibrary::fromJSON(json::parse(readFile(file()))); }

    struct Snapped {
        WindowHandle window;
        std::uint32_t display;
        std::vector<std::int64_t> zones;
        friend bool operator==(const Snapped&, const Snapped&) = default;
    };

    TemporaryFolder folder;
    std::shared_ptr<FaultyFileSystem> files = std::make_shared<FaultyFileSystem>();
    std::shared_ptr<FakeWindowEngine> engine = std::make_shared<FakeWindowEngine>();
    RecordingLogSink log;
    ScopedLogSink scopedLog{log};
    int changes = 0;
    std::vector<Snapped> snapped;
};

TEST(SnapError, TextsCountZonesFromOneWithoutOverflow) {
    using E = ZoneService::SnapError;
    constexpr auto maxIndex = std::numeric_limits<std::int64_t>::max();
    constexpr auto minIndex = std::numeric_limits<std::int64_t>::min();
    const std::pair<E, const char*> cases[] = {
        {E::noSuchZone(4), "zone 5 does not exist in this layout"},
        {E::noSuchZone(0), "zone 1 does not exist in this layout"},
        {E::noSuchZone(-1), "zone 0 does not exist in this layout"},
        {E::noSuchZone(maxIndex), "zone 9223372036854775808 does not exist in this layout"},
        {E::noSuchZone(minIndex), "zone -9223372036854775807 does not exist in this layout"},
        {E::rejected(SetFrameResult{}), "the app did not accept the new size or position"},
        {E::noWindow(), "no window"},
        {E::excluded(), "window belongs to an excluded app"},
        {E::noDisplay(), "window is on no display"},
        {E::noWindowManager(SetFrameResult{}), "no window manager is running"},
    };
    for (const auto& [error, text] : cases) EXPECT_EQ(error.description(), text);
}

// A window that ended larger than its zone did not refuse a move: its least size is larger, and
// the text says by how much, on the axis (or axes) that do not fit.
TEST(SnapError, AWindowLargerThanItsZoneSaysWhatItNeeds) {
    using E = ZoneService::SnapError;
    const Rect zone(3362, 8, 470, 1064);
    const struct {
        const char* name;
        Size took;
        const char* text;
    } cases[] = {
        {"wider", {500, 1064}, "Firefox needs 500 px; this zone is 470 px"},
        {"taller", {470, 1200}, "Firefox needs 1200 px of height; this zone is 1064 px"},
        {"both", {1356, 1100}, "Firefox needs 1356 × 1100 px; this zone is 470 × 1064 px"},
        {"within the tolerance", {472, 1064}, "the app did not accept the new size or position"},
        {"smaller (a refusal, not a window too large)", {400, 1064}, "the app did not accept the new size or position"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const E error = E::rejected(SetFrameResult{zone, Rect(zone.origin, c.took)}, "Firefox");
        EXPECT_EQ(error.description(), c.text);
        EXPECT_EQ(error.doesNotFit(), std::string(c.text).starts_with("Firefox"));
    }
    // Without a name, the window speaks for itself.
    EXPECT_EQ(ZoneService::doesNotFitText("", Size{500, 10}, Size{470, 10}), "The window needs 500 px; this zone is 470 px");
}

// The window manager, not the app, held a window that draws its own shadow short of its zone: the
// text names it. A window too large for the zone still says what it needs.
TEST(SnapError, AWindowHeldToKeepItsShadowOnTheScreenNamesTheWindowManager) {
    using E = ZoneService::SnapError;
    const Rect zone(1928, 8, 948, 1064);
    const struct {
        const char* name;
        Rect took;
        bool shadowKept;
        const char* text;
    } cases[] = {
        {"no taller than the screen", Rect(1928, 55, 948, 958), true,
         "the window manager keeps the window's shadow on the screen"},
        {"pulled in from the screen's right edge", Rect(1876, 8, 948, 1064), true,
         "the window manager keeps the window's shadow on the screen"},
        {"too wide for the zone as well", Rect(1928, 55, 1000, 958), true, "Firefox needs 1000 px; this zone is 948 px"},
        {"held for another reason", Rect(1928, 55, 948, 958), false, "the app did not accept the new size or position"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetFrameResult result{zone, c.took};
        result.shadowKeptOnScreen = c.shadowKept;
        EXPECT_EQ(E::rejected(result, "Firefox").description(), c.text);
    }
}

// A window that cannot take the zone's size, smaller than it and centred in it as the centring
// setting asks, was placed as the user wants it: a rejection with nothing to tell. Anywhere else, or
// held short by the window manager (which would have let it fill the zone), it is a failure to tell.
TEST(SnapError, AWindowCentredInAZoneItCannotFillIsNothingToTell) {
    using E = ZoneService::SnapError;
    const Rect zone(0, 0, 500, 400);
    const struct {
        const char* name;
        Rect took;
        bool shadowKept;
        bool centred;
    } cases[] = {
        {"smaller, centred", Rect(100, 100, 300, 200), false, true},
        {"narrower alone, centred across", Rect(100, 0, 300, 400), false, true},
        {"smaller, at the zone's corner", Rect(0, 0, 300, 200), false, false},
        {"smaller, centred, but held by the window manager", Rect(100, 100, 300, 200), true, false},
        {"larger than the zone", Rect(0, 0, 600, 400), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetFrameResult result{zone, c.took};
        result.shadowKeptOnScreen = c.shadowKept;
        EXPECT_EQ(E::rejected(result).centredInZone(), c.centred);
    }
    EXPECT_FALSE(E::noSuchZone(3).centredInZone());
    EXPECT_FALSE(E::rejected(SetFrameResult{zone}).centredInZone());
}

TEST_F(ZoneServiceTest, AFirstStartSavesTheStarterLibrary) {
    auto service = makeService();
    ASSERT_TRUE(std::filesystem::exists(file()));
    const LayoutLibrary saved = stored();
    EXPECT_EQ(saved, service->library());
    ASSERT_EQ(saved.layouts.size(), 6u);
    ASSERT_TRUE(saved.defaultLayoutID);
    EXPECT_EQ(saved.layout(*saved.defaultLayoutID)->name, "Priority Grid");
    EXPECT_EQ(changes, 0);
    EXPECT_THAT(log.messages("ZoneService"), IsEmpty());
    // A second start reads what the first wrote and writes nothing.
    const int writes = files->writeCount();
    EXPECT_EQ(makeService()->library(), saved);
    EXPECT_EQ(files->writeCount(), writes);
}

TEST_F(ZoneServiceTest, AFileThatDoesNotDecodeIsKeptAsideAndTheStarterIsNotSaved) {
    writeFile(file(), "{\"version\": 1, \"layouts\": 7}");
    auto service = makeService();
    EXPECT_EQ(service->library().layouts.size(), 6u);
    EXPECT_EQ(readFile(file()), "{\"version\": 1, \"layouts\": 7}");
    EXPECT_EQ(readFile(folder / "layouts.json.unreadable"), "{\"version\": 1, \"layouts\": 7}");
    ASSERT_EQ(log.messages("ZoneService").size(), 1u);
    EXPECT_THAT(log.messages("ZoneService")[0], HasSubstr("Could not load layouts, starting fresh: "));
    // The bad bytes are safe aside: the first change saves.
    service->updateLibrary([](LayoutLibrary&) {});
    EXPECT_EQ(stored(), service->library());
}

TEST_F(ZoneServiceTest, AFileThatCannotBeReadIsNeverOverwritten) {
    writeFile(file(), "the user's layouts");
    files->readFault = std::make_error_code(std::errc::io_error);
    auto service = makeService();
    EXPECT_EQ(service->library().layouts.size(), 6u);
    EXPECT_THAT(log.messages("ZoneService"), ElementsAre(HasSubstr("Could not load layouts, starting fresh: ")));
    files->readFault = {};
    service->cycleLayout(leftDisplay, 1);
    EXPECT_EQ(readFile(file()), "the user's layouts");
    EXPECT_FALSE(std::filesystem::exists(folder / "layouts.json.unreadable"));
    EXPECT_THAT(log.messages("ZoneService").back(), HasSubstr("Could not save layouts: "));
    // The change stays in memory and is reported all the same.
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(service->library().assignments.contains(leftDisplay.displayKey().description()));
}

TEST_F(ZoneServiceTest, AStarterThatCannotBeSavedIsKeptInMemory) {
    files->writeFault = std::make_error_code(std::errc::no_space_on_device);
    auto service = makeService();
    EXPECT_EQ(service->library().layouts.size(), 6u);
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_THAT(log.messages("ZoneService"), ElementsAre(HasSubstr("Could not load layouts, starting fresh: ")));
}

TEST_F(ZoneServiceTest, LayoutsStoredWithoutOriginAreMigratedAndSaved) {
    json::Json document = LayoutLibrary::starter().toJSON();
    for (auto& layout : document["layouts"]) layout.erase("origin");
    writeFile(file(), json::dumpPretty(document));
    auto service = makeService();
    for (const auto& layout : service->library().layouts) EXPECT_TRUE(layout.origin) << layout.name;
    EXPECT_EQ(stored(), service->library());

    // When that save fails, the user's layouts stay in memory and the file as it was.
    for (auto& layout : document["layouts"]) layout["name"] = "Mine";
    const std::string mine = json::dumpPretty(document);
    writeFile(file(), mine);
    files->writeFault = std::make_error_code(std::errc::read_only_file_system);
    service = makeService();
    EXPECT_EQ(service->library().layouts.size(), 6u);
    EXPECT_EQ(service->library().layouts[0].name, "Mine");
    EXPECT_EQ(readFile(file()), mine);
    EXPECT_THAT(log.messages("ZoneService"), ElementsAre(HasSubstr("Could not load layouts, starting fresh: ")));
}

TEST_F(ZoneServiceTest, ZonesLieInTheWorkAreaAndTheWorkAreaSizeKeysTheAssignment) {
    const ZoneLayout two = columnsLayout(2);
    const ZoneLayout three = columnsLayout(3);
    auto service = serviceWith({two, three});
    const DisplayInfo smaller = makeDisplay(1, "LEFT", leftDisplay.frame, Rect(0, 30, 1920, 1000));
    service->updateLibrary([&](LayoutLibrary& library) { library.assign(three.id, smaller.displayKey()); });

    EXPECT_THAT(service->zones(leftDisplay),
                ElementsAre(Zone{0, Rect(0, 30, 960, 1050)}, Zone{1, Rect(960, 30, 960, 1050)}));
    EXPECT_EQ(service->zones(smaller).size(), 3u);
    EXPECT_THAT(serviceWith({})->zones(leftDisplay), IsEmpty());

    // Zones laid out once are laid out again after a change of the library or of the work area.
    service->updateLibrary([&](LayoutLibrary& library) { library.assign(three.id, leftDisplay.displayKey()); });
    EXPECT_EQ(service->zones(leftDisplay).size(), 3u);
    LayoutLibrary onlyTwo;
    onlyTwo.layouts = {two};
    onlyTwo.defaultLayoutID = two.id;
    service->setLibrary(onlyTwo);
    EXPECT_EQ(service->zones(leftDisplay).size(), 2u);
    const DisplayInfo moved = makeDisplay(1, "LEFT", leftDisplay.frame, Rect(0, 60, 1920, 1020));
    EXPECT_EQ(service->zones(moved)[0].rect, Rect(0, 60, 960, 1020));
}

TEST_F(ZoneServiceTest, SnapMovesTheWindowIntoTheZoneAndReportsExactlyThatZone) {
    auto service = serviceWith({columnsLayout(2)});
    const WindowHandle window = engine->addWindow("org.example.Editor", 7, "Notes", Rect(2000, 100, 500, 400));
    auto result = service->snap(window, 1);
    ASSERT_TRUE(result);
    const Rect zone(2880, 0, 960, 1080);
    EXPECT_EQ(result->requested, zone);
    EXPECT_EQ(*engine->frame(window), zone);
    // A window off every display goes to the nearest one.
    const WindowHandle far = engine->addWindow("a", 1, "far right", Rect(5000, 100, 300, 300));
    ASSERT_TRUE(service->snap(far, 0));
    EXPECT_THAT(snapped, ElementsAre(Snapped{window, 2, {1}}, Snapped{far, 2, {0}}));
}

TEST_F(ZoneServiceTest, SnapFailuresSayWhy) {
    auto service = serviceWith({columnsLayout(4)});
    const WindowHandle window = engine->addWindow("org.example.Editor", 7, "Notes", Rect(100, 100, 500, 400));
    const WindowHandle gone = engine->addWindow("org.example.Editor", 7, "Gone", Rect(100, 100, 500, 400));
    engine->removeWindow(gone);
    const WindowHandle dialog = engine->addWindow("org.example.Editor", 7, "Dialog", Rect(100, 100, 300, 200));
    engine->windowTable.at(dialog).info.isStandard = false;

    EXPECT_EQ(service->snap(gone, 0).error(), ZoneService::SnapError::noWindow());
    EXPECT_EQ(service->snap(dialog, 0).error(), ZoneService::SnapError::excluded());
    EXPECT_EQ(service->snap(window, 4).error(), ZoneService::SnapError::noSuchZone(4));
    EXPECT_EQ(service->snap(window, -1).error(), ZoneService::SnapError::noSuchZone(-1));
    DisplayProvider::displaysOverride = std::vector<DisplayInfo>{};
    EXPECT_EQ(service->snap(window, 0).error(), ZoneService::SnapError::noDisplay());
    EXPECT_THAT(snapped, IsEmpty());
    EXPECT_THAT(engine->setFrameCalls, IsEmpty());
}

TEST_F(ZoneServiceTest, AWindowMoreThanTwoPointsOffItsZoneIsRejectedWithTheFrameItTook) {
    auto service = serviceWith({columnsLayout(4)});  // zones 480 wide on the left display
    const WindowHandle exact = engine->addWindow("a", 1, "exact", Rect(100, 100, 300, 300), Size{482, 0});
    const WindowHandle wide = engine->addWindow("b", 2, "wide", Rect(100, 100, 300, 300), Size{482.5, 0});

    EXPECT_TRUE(service->snap(exact, 0));
    const auto rejected = service->snap(wide, 0);
    ASSERT_FALSE(rejected);
    EXPECT_EQ(rejected.error().code, Code::rejected);
    ASSERT_TRUE(rejected.error().result);
    EXPECT_EQ(rejected.error().result->requested, Rect(0, 30, 480, 1050));
    EXPECT_EQ(rejected.error().result->achieved, Rect(0, 30, 482.5, 1050));
    EXPECT_THAT(snapped, ElementsAre(Snapped{exact, 1, {0}}));
    // Larger than its zone: the rejection names the application as the user knows it.
    EXPECT_EQ(rejected.error().description(), "b needs 483 px; this zone is 480 px");
    service->applicationName = [](const WindowInfo& info) { return "Editor (" + *info.bundleIdentifier + ")"; };
    EXPECT_EQ(service->snap(wide, 0).error().description(), "Editor (b) needs 483 px; this zone is 480 px");
}

// Nobody moves windows without a window manager: the application is not to blame.
TEST_F(ZoneServiceTest, WithNoWindowManagerTheSnapSaysSoAndNotThatTheAppRefused) {
    auto service = serviceWith({columnsLayout(4)});
    const WindowHandle window = engine->addWindow("a", 1, "left", Rect(100, 100, 300, 300));
    engine->windowManagerRuns = false;
    const auto refused = service->snap(window, 0);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, Code::noWindowManager);
    EXPECT_EQ(refused.error().description(), "no window manager is running");
    ASSERT_TRUE(refused.error().result);
    EXPECT_EQ(refused.error().result->achieved, Rect(100, 100, 300, 300));
    EXPECT_THAT(snapped, IsEmpty());
}

TEST_F(ZoneServiceTest, CyclingWalksTheLibraryOrderAndWrapsAround) {
    const ZoneLayout a = columnsLayout(2), b = columnsLayout(3), c = columnsLayout(4);
    auto service = serviceWith({a, b, c});
    const std::string key = leftDisplay.displayKey().description();
    // Unassigned: starts from the default (a).
    service->cycleLayout(leftDisplay, -1);
    EXPECT_EQ(service->library().assignments.at(key), c.id);
    service->cycleLayout(leftDisplay, 1);
    EXPECT_EQ(service->library().assignments.at(key), a.id);
    service->cycleLayout(leftDisplay, 4);
    EXPECT_EQ(service->library().assignments.at(key), b.id);
    // Offsets from outside cannot overflow: INT64_MIN is 1 mod 3 here, as arithmetic says.
    service->cycleLayout(leftDisplay, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(service->library().assignments.at(key), c.id);
    service->cycleLayout(leftDisplay, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(service->library().assignments.at(key), a.id);
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(stored(), service->library());
    // An assignment to a deleted layout cycles from the default's place.
    service->updateLibrary([&](LayoutLibrary& library) { library.assignments[key] = UUID::random(); });
    service->cycleLayout(leftDisplay, 1);
    EXPECT_EQ(service->library().assignments.at(key), b.id);
}

TEST_F(ZoneServiceTest, CyclingAnEmptyLibraryDoesNothingAtAll) {
    auto service = serviceWith({});
    const int writes = files->writeCount();
    int notices = 0;
    auto observation = service->observe([&] { ++notices; });
    service->cycleLayout(leftDisplay, 1);
    EXPECT_EQ(files->writeCount(), writes);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(notices, 0);
}

TEST_F(ZoneServiceTest, EveryUpdateNotifiesSavesAndReportsEvenWithoutAChange) {
    auto service = serviceWith({columnsLayout(2)});
    int notices = 0;
    auto observation = service->observe([&] { ++notices; });
    const int writes = files->writeCount();
    service->updateLibrary([](LayoutLibrary&) {});
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(files->writeCount(), writes + 1);
    EXPECT_EQ(changes, 1);
    // A plain assignment of an equal library tells no one and saves nothing.
    service->setLibrary(service->library());
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(files->writeCount(), writes + 1);
}

TEST_F(ZoneServiceTest, RemovingAnAssignmentFallsBackToTheDefault) {
    const ZoneLayout two = columnsLayout(2), three = columnsLayout(3);
    auto service = serviceWith({two, three});
    service->updateLibrary([&](LayoutLibrary& library) { library.assign(three.id, rightDisplay.displayKey()); });
    EXPECT_EQ(service->zones(rightDisplay).size(), 3u);
    service->removeAssignment(rightDisplay);
    EXPECT_EQ(service->zones(rightDisplay).size(), 2u);
    EXPECT_TRUE(stored().assignments.empty());
    EXPECT_EQ(changes, 2);
}

}  // namespace
