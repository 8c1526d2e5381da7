#pragma once

// What the Sync pane shows for the synchronisation's state, and the choice of the sync folder.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/UserDefaults.h"
#include "Tessary/settings/SettingsTag.h"
#include "TessaryCore/Date.h"
#include "TessaryCore/Expected.h"

namespace tessary {

struct SyncPaneInput {
    // The folder stored now, and the one the running store was made with (a new choice is used
    // from the next start).
    std::optional<std::filesystem::path> chosenFolder;
    std::optional<std::filesystem::path> folderInUse;
    bool available = false;
    bool enabled = false;
    std::optional<Date> lastSync;
    std::optional<std::string> lastError;
    // The documents' keys whose stored value cannot be read ("rules.v1").
    std::vector<std::string> unreadableKeys = {};
    // A local change has not reached the folder yet (the upload delay, a push to be tried again).
    bool pending = false;
};

struct SyncedKind;

struct SyncPaneRows {
    std::string folderText;
    // While the choice differs from the folder in use: what happens at the next start, and what
    // the user does for it.
    std::string folderNote;
    // Usable with a folder in use, and with a new choice waiting for the next start: the switch
    // then says whether that start syncs.
    bool switchEnabled = false;
    // With no folder in use and none chosen, the "No usable sync folder" row replaces "Last sync".
    bool unavailable = false;
    std::string lastSyncText;
    std::optional<SettingsTag> status;
    // The last failure in full, under "Last sync" (the status tag says only that it failed).
    std::string errorText;
    bool syncNowEnabled = false;
    // The "Synced" chips: positive while sync is on and works, neutral while it is off or cannot
    // run; warning (and "Not synced") when the last push failed.
    SettingsTone syncedTone = SettingsTone::neutral;
    std::vector<std::string> unreadableKeys = {};
    friend bool operator==(const SyncPaneRows&, const SyncPaneRows&) = default;

    // The chip of one kind of data that syncs: "Not synced" for a kind whose document cannot be
    // read, or for every kind after a failed push, so that no chip says "Synced" in green beside
    // the failure.
    SettingsTag syncedTag(const SyncedKind& kind) const;
};

// `locale` and `timeZone` as ICU names them; empty: ICU's defaults.
SyncPaneRows syncPaneRows(const SyncPaneInput& input, std::string_view locale = {}, std::string_view timeZone = {});

// The abbreviated date and short time of the locale ("Mar 4, 2025, 2:05 PM").
std::string syncTimeText(Date date, std::string_view locale = {}, std::string_view timeZone = {});

// Stores `folder` as the sync folder when it is a folder this user can write to; otherwise the
// sentence saying why not, and the previous choice is kept.
Expected<void, std::string> chooseSyncFolder(UserDefaults& defaults, const std::filesystem::path& folder);

struct SyncedKind {
    std::string title;
    std::string symbol;
    bool synced = false;
    // Its document's key in the sync folder; empty for what stays on this computer.
    std::string key;
};
const std::vector<SyncedKind>& syncedKinds();

}  // namespace tessary
