#pragma once

// What the General pane shows: the update rows for the updater's state and the window-control tag.

#include <string>
#include <string_view>

#include "Tessary/integrations/UpdateBackend.h"
#include "Tessary/settings/SettingsTag.h"

namespace tessary {

struct GeneralUpdates {
    // Without an update feed only the "Update checking" row shows, tagged "Not configured".
    bool configured = false;
    // Configured: the automatic-check toggle's state (off without a controller) and its
    // description line, and whether "Check for Updates…" can be pressed.
    bool automaticChecks = false;
    std::string versionLine;
    bool canCheck = false;
    friend bool operator==(const GeneralUpdates&, const GeneralUpdates&) = default;
};

// `controller` may be null (a configured build whose framework failed to start).
GeneralUpdates generalUpdates(bool isConfigured, const UpdaterBackendController* controller,
                              std::string_view versionString);

// "Granted" (positive) or "Not granted" (warning).
SettingsTag windowControlTag(bool trusted);
// The sidebar footer: "Window control granted" / "Window control not granted".
std::string windowControlFooter(bool trusted);

}  // namespace tessary
