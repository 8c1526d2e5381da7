#include "Tessary/integrations/SyncFolderSetting.h"

namespace tessary {

std::optional<std::filesystem::path> SyncFolderSetting::read(const UserDefaults& defaults) {
    const auto text = defaults.stringValue(storageKey);
    if (!text || text->empty()) return std::nullopt;
    std::filesystem::path folder(*text);
    if (!folder.is_absolute()) return std::nullopt;
    return folder;
}

void SyncFolderSetting::write(UserDefaults& defaults, const std::optional<std::filesystem::path>& folder) {
    if (!folder) {
        defaults.remove(storageKey);
    } else if (folder->is_absolute()) {
        defaults.set(storageKey, folder->string());
    }
}

}  // namespace tessary
