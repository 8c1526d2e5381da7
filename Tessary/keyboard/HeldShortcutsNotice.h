#pragma once

// What a start says when another program (most often the window manager, which binds Ctrl+Alt+1
// to 9 and the arrows to its desktops) holds some of the program's own shortcuts: those shortcuts
// do nothing, and without a word the user would take the program for broken. It names them and
// where to choose others, once: the names told are remembered in the user defaults, and the same
// ones are not told again at later starts (the Shortcuts pane and the tray menu still show them);
// a different set is, and once none is held the memory is cleared.

#include <optional>
#include <string>

#include "GlobalShortcuts/GlobalShortcuts.h"
#include "Platform/UserDefaults.h"

namespace tessary {

struct HeldShortcutsNotice {
    std::string title;
    std::string body;
    std::string actionLabel;  // opens the Shortcuts pane
};

// Of the program's eighteen names, those another program holds now, in the pane's order, as the
// notice to post; nothing when none is, or the same were told before.
std::optional<HeldShortcutsNotice> heldShortcutsNotice(GlobalShortcuts& shortcuts, UserDefaults& defaults);

}  // namespace tessary
