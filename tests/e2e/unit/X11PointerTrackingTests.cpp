#include "Platform/X11/X11GlobalInput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tessary {
namespace {

// A raw motion event as xcb hands it over: the header, the valuator mask, the processed values and
// the raw ones; `maskWords` as the event claims it (its length counts one).
std::vector<uint8_t> rawMotion(uint32_t mask, const std::vector<double>& values, uint16_t maskWords = 1) {
    std::vector<uint8_t> bytes(sizeof(xcb_input_raw_button_press_event_t));
    auto append = [&](const void* data, std::size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    };
    append(&mask, sizeof mask);
    for (int pass = 0; pass < 2; ++pass) {
        for (double value : values) {
            const double whole = std::floor(value);
            const xcb_input_fp3232_t fixed{int32_t(whole), uint32_t((value - whole) * 4294967296.0)};
            append(&fixed, sizeof fixed);
        }
    }
    auto* event = reinterpret_cast<xcb_input_raw_button_press_event_t*>(bytes.data());
    event->valuators_len = maskWords;
    event->length = uint32_t((bytes.size() - sizeof(xcb_input_raw_button_press_event_t)) / 4);
    return bytes;
}

TEST(X11PointerTracking, FollowsRawDeltasWithinTheRootWindow) {
    const struct {
        const char* name;
        uint32_t mask;
        std::vector<double> values;
        Point expected;
        uint16_t maskWords = 1;
    } cases[] = {
        {"both axes", 0b11, {25, -5}, Point{125, 95}},
        {"fractions add up", 0b11, {0.5, 0.25}, Point{100.5, 100.25}},
        {"only y", 0b10, {7}, Point{100, 107}},
        {"x and a third axis (a wheel)", 0b101, {-3, 120}, Point{97, 100}},
        {"no axis", 0b1000, {4}, Point{100, 100}},
        {"pushed past the left and top edges", 0b11, {-500, -500}, Point{0, 0}},
        {"pushed past the right and bottom edges", 0b11, {5000, 5000}, Point{3839, 1079}},
        {"a mask longer than the event (a broken server): nothing is read past it", 0b11, {25, -5},
         Point{100, 100}, 20},
        {"a mask that runs into the values: no more is read than is there", 0b11, {25}, Point{100, 100}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        X11PointerTracking tracking;
        tracking.reset(Point{100, 100}, 0, Size{3840, 1080});
        const std::vector<uint8_t> event = rawMotion(c.mask, c.values, c.maskWords);
        const auto [dx, dy] = rawAxes(*reinterpret_cast<const xcb_input_raw_button_press_event_t*>(event.data()));
        tracking.moveBy(dx, dy);
        EXPECT_EQ(tracking.location, c.expected);
    }
}

TEST(X11PointerTracking, ModifierKeysSetAndClearTheirBits) {
    X11ModifierLayout layout;
    layout.modifierBits[50] = XCB_MOD_MASK_SHIFT;  // Shift_L
    layout.modifierBits[62] = XCB_MOD_MASK_SHIFT;  // Shift_R
    layout.modifierBits[37] = XCB_MOD_MASK_CONTROL;
    const struct {
        const char* name;
        std::vector<std::pair<uint32_t, bool>> keys;
        uint16_t expected;
    } cases[] = {
        {"one key down", {{50, true}}, XCB_MOD_MASK_SHIFT},
        {"down and up", {{50, true}, {50, false}}, 0},
        {"both shifts, one let go", {{50, true}, {62, true}, {62, false}}, XCB_MOD_MASK_SHIFT},
        {"shift and control, shift let go", {{50, true}, {37, true}, {50, false}}, XCB_MOD_MASK_CONTROL},
        {"a key code beyond the table", {{300, true}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        X11PointerTracking tracking;
        tracking.reset(Point{}, 0, Size{100, 100});
        for (const auto& [code, down] : c.keys) tracking.key(layout, code, down);
        EXPECT_EQ(tracking.mask, c.expected);
    }
}

}  // namespace
}  // namespace tessary
