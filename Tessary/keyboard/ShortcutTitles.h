#pragma once

// What the user calls each of the application's eighteen shortcut names: the title of its row in the
// Shortcuts pane, and what a notice or a recorder names it by.

#include <string>

namespace tessary {

// The title of a pane name ("Zone 3", "Next zone"); empty for another name.
std::string shortcutTitle(const std::string& name);

}  // namespace tessary
