#pragma once

#include <string_view>

#include "Tessary/shell/SettingsSection.h"

namespace tessary {

// What the sidebar shows of a section: its title (also the pane's title) and its symbol name, which
// symbolIcon() turns into a theme icon or a drawing of our own.
std::string_view settingsSectionTitle(SettingsSection section);
std::string_view settingsSectionSymbol(SettingsSection section);

}  // namespace tessary
