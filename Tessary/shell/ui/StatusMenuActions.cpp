#include "Tessary/shell/ui/StatusMenuActions.h"

#include "Tessary/shell/ui/AppDelegate.h"

namespace tessary {

void performStatusMenuAction(AppDelegate& delegate, const MenuAction& action) {
    AppActions& actions = delegate.actions();
    using Kind = MenuAction::Kind;
    switch (action.kind) {
    case Kind::none: break;
    case Kind::showOnboarding: actions.showOnboarding(); break;
    case Kind::assignLayout:
        if (action.display && action.layoutID) {
            const DisplayKey key = action.display->displayKey();
            delegate.zones().updateLibrary([&](LayoutLibrary& library) { library.assign(*action.layoutID, key); });
            // A layout change shows its zones only when the user wants that; "Show Zones" always does.
            delegate.flashZones(false);
        }
        break;
    case Kind::snapToZone:
        // Failures (no focused window, an excluded one, no such zone) are dropped silently, but for a
        // window too large for the zone, which the user can do something about.
        if (auto window = delegate.zones().engine().focusedWindow()) {
            const auto result = delegate.zones().snap(*window, action.zoneIndex);
            if (!result) delegate.reportSnapFailure(result.error());
        }
        break;
    case Kind::flashZones: actions.flashZones(); break;
    case Kind::restoreAllWindows: actions.restoreAllWindows(); break;
    case Kind::restoreWorkspace:
        if (action.workspace) delegate.workspaces().restore(*action.workspace);
        break;
    case Kind::saveWorkspace: actions.saveWorkspace(); break;
    case Kind::showEditor: actions.showEditor(); break;
    case Kind::checkForUpdates: actions.checkForUpdates(); break;
    case Kind::askForReview: actions.askForReview(); break;
    case Kind::showAbout: actions.showAbout(); break;
    case Kind::sendFeedback: actions.sendFeedback(); break;
    case Kind::showSettings: actions.showSettings(); break;
    case Kind::quit: delegate.quit(); break;
    }
}

}  // namespace tessary
