#include <gtest/gtest.h>

#include <set>

#include "Platform/Sim/SimScreens.h"
#include "WindowEngine/DisplayProvider.h"

using namespace tessary;

namespace {

DisplayInfo display(std::uint32_t id, Rect frame) {
    return DisplayInfo{id, "D" + std::to_string(id), "Display", frame, frame, id == 1, false};
}

Screen monitor(std::uint32_t number, Rect frame, std::string connector, std::optional<std::string> uuid,
               std::uint32_t vendor = 0, std::uint32_t model = 0, std::uint32_t serial = 0) {
    Screen screen = SimScreens::makeScreen(number, frame, std::move(connector));
    screen.uuid = std::move(uuid);
    screen.vendorNumber = vendor;
    screen.modelNumber = model;
    screen.serialNumber = serial;
    screen.hasEDID = vendor != 0;
    return screen;
}

class DisplayProviderTest : public ::testing::Test {
protected:
    void SetUp() override { DisplayProvider::setScreens(&screens); }
    void TearDown() override {
        DisplayProvider::setScreens(nullptr);
        DisplayProvider::displaysOverride.reset();
    }

    std::vector<std::string> identifiers() {
        std::vector<std::string> result;
        for (const DisplayInfo& d : DisplayProvider::displays()) result.push_back(d.identifier);
        return result;
    }

    SimScreens screens;
};

}  // namespace

TEST(DisplayProvider, ChoosesTheDisplayWithTheLargestIntersectionElseTheNearestCentre) {
    const std::vector<DisplayInfo> displays = {display(1, Rect(0, 0, 1000, 1000)), display(2, Rect(1000, 0, 1000, 1000)),
                                               display(3, Rect(0, 1000, 1000, 1000))};
    struct Case {
        const char* name;
        Rect rect;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"mostly on the second", Rect(900, 0, 400, 400), 2},
        {"equal areas go to the first listed", Rect(900, 0, 200, 200), 1},
        {"off screen, nearest centre", Rect(2500, 100, 100, 100), 2},
        {"off screen below", Rect(100, 2500, 100, 100), 3},
        {"zero width on the second is placed by its centre", Rect(1500, 500, 0, 100), 2},
        {"zero width at the border: equal distances go to the first", Rect(1000, 500, 0, 0), 1},
        {"touching only", Rect(1000, 1000, 0, 0), 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayProvider::display(c.rect, displays)->displayID, c.expected) << c.name;
    }
    EXPECT_FALSE(DisplayProvider::display(Rect(0, 0, 10, 10), {}));
}

TEST_F(DisplayProviderTest, ListsNumberedScreensInOrderAndMakesOnlyTheFirstPrimary) {
    Screen unnumbered = monitor(0, Rect(-800, 0, 800, 600), "VGA-1", std::nullopt);
    unnumbered.displayNumber.reset();
    Screen laptop = monitor(5, Rect(0, 0, 1512, 982), "eDP-1", "AAAA-1");
    laptop.workArea = Rect(0, 33, 1512, 949);
    laptop.isBuiltIn = true;
    screens.setScreens({laptop, monitor(6, Rect(1512, 0, 2560, 1440), "DP-1", "BBBB-2")});

    const std::vector<DisplayInfo> displays = DisplayProvider::displays();
    ASSERT_EQ(displays.size(), 2u);
    EXPECT_EQ(displays[0], (DisplayInfo{5, "AAAA-1", "eDP-1", Rect(0, 0, 1512, 982), Rect(0, 33, 1512, 949), true, true}));
    EXPECT_FALSE(displays[1].isPrimary);
    EXPECT_EQ(displays[0].displayKey().description(), "AAAA-1@1512x949");
    // Classes come from the work area and the built-in flag: the panel is a laptop screen only;
    // 2560 x 1440 is standard and, at over 3.5 million square points, large.
    EXPECT_EQ(displays[0].displayClasses(), std::set<DisplayClass>{DisplayClass::laptop});
    EXPECT_EQ(displays[1].displayClasses(), (std::set<DisplayClass>{DisplayClass::standard, DisplayClass::large}));
    EXPECT_EQ(DisplayProvider::primaryHeight(), 982);
    EXPECT_EQ(DisplayProvider::stableIdentifier(6), "BBBB-2");
    EXPECT_EQ(DisplayProvider::stableIdentifier(99), "vendor0-model0-serial0");

    // The right edge belongs to the next display.
    EXPECT_EQ(DisplayProvider::display(Point{1511.9, 10})->displayID, 5u);
    EXPECT_EQ(DisplayProvider::display(Point{1512, 10})->displayID, 6u);
    EXPECT_FALSE(DisplayProvider::display(Point{4072, 10}));

    // A first screen without a number leaves no display primary.
    screens.setScreens({unnumbered, laptop});
    ASSERT_EQ(DisplayProvider::displays().size(), 1u);
    EXPECT_FALSE(DisplayProvider::displays()[0].isPrimary);
    EXPECT_EQ(DisplayProvider::primaryHeight(), 600);
}

TEST_F(DisplayProviderTest, IdentifiersComeFromTheUUIDElseTheEDIDNumbersElseTheConnector) {
    screens.setScreens({monitor(1, Rect(0, 0, 10, 10), "DP-1", "0F1E2D3C-0000-4000-8000-000000000001"),
                        monitor(2, Rect(10, 0, 10, 10), "DP-2", std::nullopt, 4268, 41138, 808534604),
                        monitor(3, Rect(20, 0, 10, 10), "Virtual-1", std::nullopt)});
    EXPECT_EQ(identifiers(), (std::vector<std::string>{"0F1E2D3C-0000-4000-8000-000000000001",
                                                       "vendor4268-model41138-serial808534604", "Virtual-1"}));
}

TEST_F(DisplayProviderTest, IdenticalMonitorsGetDistinctIdentifiersAndOneAloneKeepsItsOwn) {
    const Screen left = monitor(1, Rect(0, 0, 1920, 1080), "DP-1", std::nullopt, 7789, 1234, 0);
    const Screen right = monitor(2, Rect(1920, 0, 1920, 1080), "DP-2", std::nullopt, 7789, 1234, 0);
    screens.setScreens({left, right});
    EXPECT_EQ(identifiers(), (std::vector<std::string>{"vendor7789-model1234-serial0-DP-1",
                                                       "vendor7789-model1234-serial0-DP-2"}));
    // The same in the other order: tied to the connector, not to the position in the list.
    screens.setScreens({right, left});
    EXPECT_EQ(identifiers(), (std::vector<std::string>{"vendor7789-model1234-serial0-DP-2",
                                                       "vendor7789-model1234-serial0-DP-1"}));
    EXPECT_EQ(DisplayProvider::stableIdentifier(1), "vendor7789-model1234-serial0-DP-1");

    screens.setScreens({right});
    EXPECT_EQ(identifiers(), std::vector<std::string>{"vendor7789-model1234-serial0"});

    // Same UUID and no connector names at all: still distinct.
    Screen a = monitor(1, Rect(0, 0, 10, 10), "", "SAME");
    Screen b = monitor(2, Rect(10, 0, 10, 10), "", "SAME");
    screens.setScreens({a, b, monitor(3, Rect(20, 0, 10, 10), "HDMI-1", "SAME-2")});
    const std::vector<std::string> ids = identifiers();
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 3u);
    EXPECT_EQ(ids[0], "SAME");
}

