#include "Platform/X11/X11PointerDevices.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tessary {

namespace {

double fixed(const xcb_input_fp3232_t& value) { return double(value.integral) + double(value.frac) / 4294967296.0; }

bool near(Point a, Point b) {
    return std::abs(a.x - b.x) <= X11MotionReadings::tolerance && std::abs(a.y - b.y) <= X11MotionReadings::tolerance;
}

double clampTo(double value, double extent) { return std::clamp(value, 0.0, std::max(0.0, extent - 1)); }

// The server's scaling of an absolute axis onto the screen: the device's range onto 0..extent.
double scale(double value, const ClosedRange<double>& range, double extent) {
    return (value - range.lowerBound) * extent / (range.upperBound - range.lowerBound);
}

}  // namespace

X11PointerDevice X11PointerDevice::from(std::string_view name, std::optional<Axis> x, std::optional<Axis> y) {
    X11PointerDevice device;
    // Every master pointer has an XTest device of its own, named after it.
    if (name.ends_with("XTEST pointer")) return device;
    if (!x || !y) return device;
    device.relative = x->relativeMode && y->relativeMode;
    if (!device.relative && !x->relativeMode && !y->relativeMode && x->upper > x->lower && y->upper > y->lower) {
        device.xRange = ClosedRange<double>{x->lower, x->upper};
        device.yRange = ClosedRange<double>{y->lower, y->upper};
    }
    return device;
}

X11PointerDevice X11PointerDevice::from(const xcb_input_xi_query_device_reply_t& reply) {
    auto infos = xcb_input_xi_query_device_infos_iterator(&reply);
    if (!infos.rem) return {};
    const std::string name(xcb_input_xi_device_info_name(infos.data),
                           std::size_t(xcb_input_xi_device_info_name_length(infos.data)));
    std::optional<Axis> axes[2];
    for (auto classes = xcb_input_xi_device_info_classes_iterator(infos.data); classes.rem;
         xcb_input_device_class_next(&classes)) {
        if (classes.data->type != XCB_INPUT_DEVICE_CLASS_TYPE_VALUATOR) continue;
        const auto& valuator = reinterpret_cast<const xcb_input_valuator_class_t&>(*classes.data);
        if (valuator.number > 1) continue;
        axes[valuator.number] = Axis{valuator.mode == XCB_INPUT_VALUATOR_MODE_RELATIVE, fixed(valuator.min),
                                     fixed(valuator.max)};
    }
    return from(name, axes[0], axes[1]);
}

void X11MotionReadings::startDrag() {
    readings_.clear();
    pending_.clear();
}

X11MotionReadings::Reading X11MotionReadings::reading(uint16_t device) const {
    const auto found = readings_.find(device);
    return found == readings_.end() ? Reading::unknown : found->second;
}

bool X11MotionReadings::apply(uint16_t device, const X11PointerDevice& kind, std::optional<double> x,
                              std::optional<double> y, Point& location, Size root) {
    auto moved = [&](Point from, Reading reading) -> std::optional<Point> {
        Point to = from;
        switch (reading) {
        case Reading::deltas:
            if (x) to.x = clampTo(from.x + *x, root.width);
            if (y) to.y = clampTo(from.y + *y, root.height);
            return to;
        case Reading::positions:
            if (x) to.x = clampTo(*x, root.width);
            if (y) to.y = clampTo(*y, root.height);
            return to;
        case Reading::scaled:
            if (!kind.xRange || !kind.yRange) return std::nullopt;
            if (x) to.x = clampTo(scale(*x, *kind.xRange, root.width), root.width);
            if (y) to.y = clampTo(scale(*y, *kind.yRange, root.height), root.height);
            return to;
        case Reading::unknown:
            break;
        }
        return std::nullopt;
    };
    const Reading known = kind.relative ? Reading::deltas : reading(device);
    if (known != Reading::unknown) {
        if (const auto to = moved(location, known)) location = *to;
        return true;
    }
    // Each reading followed from where this batch began, as if only this device moved.
    auto [entry, first] = pending_.try_emplace(device);
    Candidates& c = entry->second;
    if (first) {
        c.start = location;
        c.deltas = location;
    }
    c.deltas = *moved(c.deltas, Reading::deltas);
    c.positions = moved(c.positions.value_or(c.start), Reading::positions);
    c.scaled = moved(c.scaled.value_or(c.start), Reading::scaled);
    return false;
}

void X11MotionReadings::learn(Point pointer) {
    for (const auto& [device, c] : pending_) {
        // A batch that left the pointer where it was tells no reading from another.
        if (near(pointer, c.start)) continue;
        int matches = 0;
        Reading found = Reading::unknown;
        auto consider = [&](std::optional<Point> candidate, Reading reading) {
            if (candidate && near(*candidate, pointer)) ++matches, found = reading;
        };
        consider(c.deltas, Reading::deltas);
        consider(c.positions, Reading::positions);
        // A device's range that is the root's own scales onto the same positions: one reading.
        if (!(c.scaled && c.positions && near(*c.scaled, *c.positions))) consider(c.scaled, Reading::scaled);
        if (matches == 1) readings_[device] = found;
    }
    pending_.clear();
}

}  // namespace tessary
