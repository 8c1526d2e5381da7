#pragma once

// The application's eighteen global shortcut names with their defaults (Ctrl+Alt, and Ctrl+Alt+Super
// for displays and layouts). Each default is stored the first time the module is given its name.

#include <vector>

#include "GlobalShortcuts/GlobalShortcuts.h"

namespace tessary::ShortcutNames {

using Name = GlobalShortcuts::Name;

const Name& snapToZone(int index);  // 0 to 8: "snapToZone1" to "snapToZone9"
const Name& nextZone();
const Name& previousZone();
const Name& nextDisplay();
const Name& previousDisplay();
const Name& nextLayout();       // Down arrow
const Name& previousLayout();   // Up arrow
const Name& showZones();
const Name& restoreAllWindows();
const Name& openEditor();       // the key left of 1 (code 50)

// The nine zone names in order: position i belongs to zone index i (zone i + 1 to the user).
const std::vector<Name>& snapToZoneNames();
// All eighteen in the Shortcuts pane's order (and reset together there): the zones, then next and
// previous zone, display and layout, show zones, open editor, restore all windows.
const std::vector<Name>& paneShortcutNames();
// The name with this raw value: one of the eighteen with its default, any other (a workspace's)
// without one. Whoever reads or shows a name by its raw value goes through here, so that the
// default is stored before the name is first shown, whether or not its hot key is registered yet.
Name named(const std::string& rawValue);

}  // namespace tessary::ShortcutNames
