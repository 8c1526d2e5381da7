#include "Tessary/shell/SettingsSection.h"

namespace tessary {

std::string_view rawValue(SettingsSection section) {
    switch (section) {
    case SettingsSection::general: return "general";
    case SettingsSection::snapping: return "snapping";
    case SettingsSection::zones: return "zones";
    case SettingsSection::shortcuts: return "shortcuts";
    case SettingsSection::rules: return "rules";
    case SettingsSection::workspaces: return "workspaces";
    case SettingsSection::excludedApps: return "excludedApps";
    case SettingsSection::sync: return "sync";
    case SettingsSection::about: return "about";
    }
    return "general";
}

std::optional<SettingsSection> settingsSectionFromRawValue(std::string_view raw) {
    for (SettingsSection section : allSettingsSections) {
        if (rawValue(section) == raw) return section;
    }
    return std::nullopt;
}

}  // namespace tessary
