#include "Tessary/settings/SettingsSectionInfo.h"

namespace tessary {

std::string_view settingsSectionTitle(SettingsSection section) {
    switch (section) {
    case SettingsSection::general: return "General";
    case SettingsSection::snapping: return "Snapping";
    case SettingsSection::zones: return "Zones";
    case SettingsSection::shortcuts: return "Shortcuts";
    case SettingsSection::rules: return "Rules";
    case SettingsSection::workspaces: return "Workspaces";
    case SettingsSection::excludedApps: return "Excluded Apps";
    case SettingsSection::sync: return "Sync";
    case SettingsSection::about: return "About";
    }
    return "General";
}

std::string_view settingsSectionSymbol(SettingsSection section) {
    switch (section) {
    case SettingsSection::general: return "gear";
    case SettingsSection::snapping: return "hand.point.up.left";
    case SettingsSection::zones: return "rectangle.split.3x3";
    case SettingsSection::shortcuts: return "keyboard";
    case SettingsSection::rules: return "list.bullet.rectangle";
    case SettingsSection::workspaces: return "square.grid.2x2";
    case SettingsSection::excludedApps: return "nosign";
    case SettingsSection::sync: return "icloud";
    case SettingsSection::about: return "info.circle";
    }
    return "gear";
}

}  // namespace tessary
