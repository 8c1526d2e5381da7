#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/services/ui/OverlayController.h"
#include "Tessary/services/ui/ZoneOverlayPanel.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/TestWorld.h"

using namespace tessary;
using namespace std::chrono_literals;
using tessary::testing::makeDisplay;

namespace {

const DisplayInfo left = makeDisplay(1, "LEFT", Rect(0, 0, 1920, 1080));
const DisplayInfo right = makeDisplay(2, "RIGHT", Rect(1920, 0, 1920, 1080));

OverlayItem item(const DisplayInfo& display, int zones) {
    std::vector<Zone> list;
    for (int i = 0; i < zones; ++i) list.push_back({i, Rect(display.frame.x() + 100.0 * i, 0, 100, 100)});
    return {display, list};
}

struct Overlay {
    Overlay() { qttest::qtApplication(); }
    // What is on screen: "1:3" is display 1 showing three zones; "" nothing.
    std::string onScreen() const {
        std::string out;
        for (const DisplayInfo& d : {left, right}) {
            const auto* panel = controller.panel(d.displayID);
            if (panel && panel->isVisible()) out += std::to_string(d.displayID) + ":" + std::to_string(panel->model().zones().size());
        }
        return out;
    }
    MemoryUserDefaults defaults;
    Preferences preferences{defaults};
    VirtualScheduler scheduler;
    OverlayController controller{preferences, scheduler};
};

}  // namespace

TEST(PreviewOverlay, ThePreviewOwnsOnlyItsOwnOverlay) {
    struct Case {
        const char* name;
        std::function<void(Overlay&)> steps;
        std::string onScreen;
        bool flashAccepted;
    };
    const Case cases[] = {
        {"thePreviewShows", [](Overlay& o) { o.controller.showPreview({item(right, 3)}); }, "2:3", false},
        {"itWaitsUnderADrag", [](Overlay& o) {
             o.controller.show({item(left, 2), item(right, 2)});
             o.controller.showPreview({item(right, 3)});
         }, "1:22:2", false},
        {"itComesBackWhenTheDragEnds", [](Overlay& o) {
             o.controller.showPreview({item(right, 3)});
             o.controller.show({item(left, 2), item(right, 2)});
             o.controller.hide();
         }, "2:3", false},
        {"endingItMidDragLeavesTheDragsOverlay", [](Overlay& o) {
             o.controller.show({item(left, 2), item(right, 2)});
             o.controller.showPreview({item(right, 3)});
             o.controller.hidePreview();
         }, "1:22:2", false},
        {"endingItWithoutOneHidesNobodysFlash", [](Overlay& o) {
             EXPECT_TRUE(o.controller.flash({item(left, 4)}, 900ms));
             o.controller.hidePreview();
         }, "1:4", true},
        {"endedItHidesAndFlashesWork", [](Overlay& o) {
             o.controller.showPreview({item(right, 3)});
             o.controller.hidePreview();
         }, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Overlay o;
        c.steps(o);
        EXPECT_EQ(o.onScreen(), c.onScreen);
        const std::string before = o.onScreen();
        const bool flashed = o.controller.flash({item(left, 1)}, 900ms);
        EXPECT_EQ(flashed, c.flashAccepted) << "a flash stays refused while a drag or the preview shows";
        if (!flashed) {
            EXPECT_EQ(o.onScreen(), before);
        }
    }
}
