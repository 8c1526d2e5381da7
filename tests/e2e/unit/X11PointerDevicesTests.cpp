#include "Platform/X11/X11PointerDevices.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tessary {
namespace {

using Axis = X11PointerDevice::Axis;
using Reading = X11MotionReadings::Reading;

TEST(X11PointerDevice, OnlyAMouseIsFollowedByItsDeltasUnasked) {
    const Axis relative{true, -1, -1};
    const Axis tablet{false, 0, 32767};
    const Axis unlimited{false, 0, 0};
    const struct {
        const char* name;
        const char* device;
        std::optional<Axis> x, y;
        bool relative;
        bool ranges;
    } cases[] = {
        {"a mouse", "Logitech USB Optical Mouse", relative, relative, true, false},
        {"the XTest device, relative as it looks", "Virtual core XTEST pointer", relative, relative, false, false},
        {"another master's XTest device", "second pointer XTEST pointer", relative, relative, false, false},
        {"a tablet or a virtual machine's pointer", "QEMU Virtio Tablet", tablet, tablet, false, true},
        {"absolute axes without limits", "some pointer", unlimited, unlimited, false, false},
        {"one axis only", "odd device", relative, std::nullopt, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const X11PointerDevice device = X11PointerDevice::from(c.device, c.x, c.y);
        EXPECT_EQ(device.relative, c.relative);
        EXPECT_EQ(device.xRange.has_value(), c.ranges);
    }
}

TEST(X11MotionReadings, LearnsFromThePointerHowADeviceIsReadThenFollowsItUnasked) {
    const Size root{3840, 1080};
    const X11PointerDevice xtest = X11PointerDevice::from("Virtual core XTEST pointer", Axis{true, -1, -1},
                                                          Axis{true, -1, -1});
    const X11PointerDevice tablet =
        X11PointerDevice::from("tablet", Axis{false, 0, 32767}, Axis{false, 0, 32767});
    struct Motion {
        double x, y;
    };
    const struct {
        const char* name;
        X11PointerDevice device;
        Point start;
        std::vector<Motion> batch;
        Point pointer;  // as read after the batch
        Reading learned;
        Motion next;
        Point followed;  // where the next motion puts the pointer, with no read
    } cases[] = {
        {"XTest absolute moves", xtest, {100, 100}, {{300, 200}, {500, 400}}, {500, 400}, Reading::positions,
         {600, 410}, {600, 410}},
        {"XTest relative moves", xtest, {100, 100}, {{10, 5}, {-4, 2}}, {106, 107}, Reading::deltas, {3, 3},
         {109, 110}},
        {"a tablet's range scaled onto the root", tablet, {100, 100}, {{16384, 16384}}, {1920, 540},
         Reading::scaled, {32767, 0}, {3839, 0}},
        {"absolute moves kept on the root", xtest, {100, 100}, {{5000, 400}}, {3839, 400}, Reading::positions,
         {-20, 30}, {0, 30}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        X11MotionReadings readings;
        readings.startDrag();
        Point location = c.start;
        for (const Motion& m : c.batch) EXPECT_FALSE(readings.apply(4, c.device, m.x, m.y, location, root));
        EXPECT_EQ(location, c.start) << "nothing is followed before it is known how";
        readings.learn(c.pointer);
        EXPECT_EQ(readings.reading(4), c.learned);
        location = c.pointer;
        EXPECT_TRUE(readings.apply(4, c.device, c.next.x, c.next.y, location, root));
        EXPECT_NEAR(location.x, c.followed.x, X11MotionReadings::tolerance);
        EXPECT_NEAR(location.y, c.followed.y, X11MotionReadings::tolerance);
        // The next press starts over: a tool may move the other way in its next drag.
        readings.startDrag();
        EXPECT_EQ(readings.reading(4), Reading::unknown);
    }
}

TEST(X11MotionReadings, APointerNoReadingExplainsTeachesNothing) {
    const Size root{3840, 1080};
    const X11PointerDevice xtest = X11PointerDevice::from("Virtual core XTEST pointer", Axis{true, -1, -1},
                                                          Axis{true, -1, -1});
    const struct {
        const char* name;
        Point start;
        Point values;
        Point pointer;
    } cases[] = {
        {"the pointer moved on before it was read", {100, 100}, {500, 400}, {520, 410}},
        {"the pointer did not move", {100, 100}, {0, 0}, {100, 100}},
        {"deltas and positions agree (a move from the corner)", {0, 0}, {10, 10}, {10, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        X11MotionReadings readings;
        Point location = c.start;
        readings.apply(4, xtest, c.values.x, c.values.y, location, root);
        readings.learn(c.pointer);
        EXPECT_EQ(readings.reading(4), Reading::unknown);
    }
}

TEST(X11MotionReadings, AMouseIsFollowedFromItsFirstMotion) {
    const X11PointerDevice mouse = X11PointerDevice::from("mouse", Axis{true, -1, -1}, Axis{true, -1, -1});
    X11MotionReadings readings;
    Point location{100, 100};
    EXPECT_TRUE(readings.apply(9, mouse, 5, std::nullopt, location, Size{3840, 1080}));
    EXPECT_EQ(location, (Point{105, 100}));
}

}  // namespace
}  // namespace tessary
