#pragma once

// The bridge between Qt's keyboard modifiers and the Carbon mask of stored shortcuts. On X11 Qt
// reports Super as Meta. Keypad, group-switch and every other flag are dropped; Qt has no Fn.

#include <Qt>

#include <cstdint>

namespace tessary {

std::int64_t carbonModifiersFromQt(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers qtModifiersFromCarbon(std::int64_t carbonModifiers);

}  // namespace tessary
