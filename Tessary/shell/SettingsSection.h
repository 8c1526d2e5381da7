#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace tessary {

// The sections of the settings window, in sidebar order; also how other parts ask the window for a
// pane (the release notes open `about`, a URL names one by its raw value).
enum class SettingsSection { general, snapping, zones, shortcuts, rules, workspaces, excludedApps, sync, about };

inline constexpr std::array<SettingsSection, 9> allSettingsSections = {
    SettingsSection::general,    SettingsSection::snapping,     SettingsSection::zones,
    SettingsSection::shortcuts,  SettingsSection::rules,        SettingsSection::workspaces,
    SettingsSection::excludedApps, SettingsSection::sync,       SettingsSection::about};

// The raw value: the case's name ("excludedApps").
std::string_view rawValue(SettingsSection section);
// Exact and case-sensitive: "zones" is a section, "Zones" and "" are none.
std::optional<SettingsSection> settingsSectionFromRawValue(std::string_view raw);

}  // namespace tessary
