#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "Platform/UserDefaults.h"

namespace tessary {

// The folder that synchronised documents travel through, chosen by the user: one text value in user
// defaults beside the preferences. The program reads it once, when it makes the store, so a new
// choice takes effect at the next start.
class SyncFolderSetting {
public:
    static constexpr std::string_view storageKey = "syncFolder";

    // The chosen folder; nothing when none is chosen, or when the stored value is not an absolute
    // path (a hand edit), which could only be resolved against whatever folder the program starts in.
    static std::optional<std::filesystem::path> read(const UserDefaults& defaults);
    // Stores the folder, or forgets the choice for nothing. A relative path is not stored.
    static void write(UserDefaults& defaults, const std::optional<std::filesystem::path>& folder);
};

}  // namespace tessary
