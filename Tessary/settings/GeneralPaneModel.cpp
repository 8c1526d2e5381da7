#include "Tessary/settings/GeneralPaneModel.h"

namespace tessary {

GeneralUpdates generalUpdates(bool isConfigured, const UpdaterBackendController* controller,
                              std::string_view versionString) {
    if (!isConfigured) return {};
    GeneralUpdates rows;
    rows.configured = true;
    rows.automaticChecks = controller && controller->automaticallyChecksForUpdates();
    rows.versionLine = "Version " + std::string(versionString);
    rows.canCheck = controller && controller->canCheckForUpdates();
    return rows;
}

SettingsTag windowControlTag(bool trusted) {
    return trusted ? SettingsTag{"Granted", SettingsTone::positive} : SettingsTag{"Not granted", SettingsTone::warning};
}

std::string windowControlFooter(bool trusted) {
    return trusted ? "Window control granted" : "Window control not granted";
}

}  // namespace tessary
