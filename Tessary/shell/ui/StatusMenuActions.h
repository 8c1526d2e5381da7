#pragma once

#include "Tessary/shell/StatusMenuModel.h"

namespace tessary {

class AppDelegate;

// Carries out a chosen tray menu item through the delegate's command table and services, on what
// the menu showed (the tile's display and layout, the workspace as it was built).
void performStatusMenuAction(AppDelegate& delegate, const MenuAction& action);

}  // namespace tessary
