#pragma once

// A stored shortcut as a Qt key sequence, for giving a widget or an action the shortcut of a name.
// Keypad keys (Qt cannot tell them from the main keys without a keypad modifier), keys that type
// nothing in the current layout and shortcuts with Fn (no Qt modifier) have none.

#include "GlobalShortcuts/Shortcut.h"
#include "Platform/KeyboardLayout.h"

#include <QKeySequence>

#include <optional>

namespace tessary {

std::optional<QKeySequence> keySequence(const Shortcut& shortcut, const KeyboardLayout& layout);

}  // namespace tessary
