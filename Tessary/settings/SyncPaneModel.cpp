#include "Tessary/settings/SyncPaneModel.h"

#include <unistd.h>

#include <algorithm>

#include <system_error>

#include "Tessary/integrations/SyncFolderSetting.h"
#include "Tessary/settings/DateText.h"

namespace tessary {

std::string syncTimeText(Date date, std::string_view locale, std::string_view timeZone) {
    return dateText(date, DateTextStyle::medium, DateTextStyle::shortStyle, locale, timeZone);
}

SyncPaneRows syncPaneRows(const SyncPaneInput& input, std::string_view locale, std::string_view timeZone) {
    SyncPaneRows rows;
    rows.folderText = input.chosenFolder ? input.chosenFolder->string() : "No folder chosen";
    // The store reads its folder once, at start: a new choice is used from the next start on.
    const bool waiting = input.chosenFolder && input.chosenFolder != input.folderInUse;
    if (waiting && input.folderInUse) {
        rows.folderNote = "Tessary keeps syncing through \u201C" + input.folderInUse->string() +
                          "\u201D until you quit it. From its next start it syncs through this folder.";
    } else if (waiting && input.enabled) {
        rows.folderNote = "Chosen. Tessary syncs through this folder from its next start: quit Tessary and start it again.";
    } else if (waiting) {
        rows.folderNote = "Chosen. Turn on sync below, then quit Tessary and start it again: it syncs through this "
                          "folder from its next start.";
    }
    rows.switchEnabled = input.available || waiting;
    rows.unavailable = !input.available && !waiting;
    rows.lastSyncText = input.lastSync ? syncTimeText(*input.lastSync, locale, timeZone) : "Never";
    if (input.lastError) {
        rows.status = SettingsTag{"Not synced", SettingsTone::warning};
        rows.errorText = *input.lastError;
    } else if (input.enabled && input.pending) {
        rows.status = SettingsTag{"Waiting to sync", SettingsTone::neutral};
    } else if (input.enabled && input.lastSync) {
        // Only a sync that succeeded in this run says so; before the first one nothing is known.
        rows.status = SettingsTag{"Up to date", SettingsTone::positive};
    }
    rows.syncNowEnabled = input.enabled && input.available;
    rows.syncedTone = input.enabled && input.available ? SettingsTone::positive : SettingsTone::neutral;
    // A failure with every document readable is a push that did not get through.
    if (rows.syncedTone == SettingsTone::positive && input.lastError && input.unreadableKeys.empty()) {
        rows.syncedTone = SettingsTone::warning;
    }
    rows.unreadableKeys = input.unreadableKeys;
    return rows;
}

SettingsTag SyncPaneRows::syncedTag(const SyncedKind& kind) const {
    const bool unreadable = std::find(unreadableKeys.begin(), unreadableKeys.end(), kind.key) != unreadableKeys.end();
    if (syncedTone == SettingsTone::warning || (unreadable && syncedTone == SettingsTone::positive)) {
        return {"Not synced", SettingsTone::warning};
    }
    return {"Synced", syncedTone};
}

Expected<void, std::string> chooseSyncFolder(UserDefaults& defaults, const std::filesystem::path& folder) {
    std::error_code error;
    if (!folder.is_absolute() || !std::filesystem::is_directory(folder, error)) {
        return unexpected("“" + folder.string() + "” is not a folder. The previous choice is kept.");
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return unexpected("Tessary cannot write to “" + folder.string() + "”. The previous choice is kept.");
    }
    SyncFolderSetting::write(defaults, folder);
    return {};
}

const std::vector<SyncedKind>& syncedKinds() {
    static const std::vector<SyncedKind> kinds{
        {"Layouts and display assignments", "rectangle.split.3x3", true, "layouts.v1"},
        {"Rules", "list.bullet.rectangle", true, "rules.v1"},
        {"Workspaces", "square.grid.2x2", true, "workspaces.v1"},
        {"Window memory", "display", false, {}},
        {"Settings, excluded apps and shortcuts", "gear", false, {}},
    };
    return kinds;
}

}  // namespace tessary
