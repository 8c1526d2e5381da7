#pragma once

// What the Shortcuts pane places: its sections of recorder rows, each bound to a shortcut name,
// the columns of the zone grid, and the names the reset acts on. Recording and storing belong to
// the global shortcut module; the pane only places recorders and asks for the reset.

#include <string>
#include <vector>

#include "Tessary/settings/SettingsTag.h"

namespace tessary {

struct ShortcutRow {
    std::string title;  // shortcutTitle(name)
    std::string name;
    // A second label line; a row with one has its recorder unlabelled beside the two lines.
    std::string description;
};

struct ShortcutSection {
    std::string title;
    std::string footer;
    // The zone section lays its rows out as a grid (zoneGridColumns).
    bool grid = false;
    std::vector<ShortcutRow> rows;
};

std::vector<ShortcutSection> shortcutSections();

// The eighteen names of the pane in reset order; workspace shortcuts are not among them.
const std::vector<std::string>& paneShortcutNames();

// Columns of at least 200 pixels, 12 apart: max(1, ⌊(width + 12) / 212⌋).
int zoneGridColumns(int width);

// The default of a pane name as the desktop writes it ("Ctrl+Alt+1"); empty for another name.
std::string defaultShortcutText(const std::string& name);

ConfirmationTexts shortcutsResetConfirmation();
PrimaryActionTexts shortcutsResetAction();

}  // namespace tessary
