#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Tessary/integrations/SyncFolderSetting.h"

using namespace tessary;

TEST(SyncFolderSettingTest, OnlyAnAbsoluteFolderIsAChoice) {
    struct Case {
        const char* name;
        std::optional<UserDefaultsValue> stored;
        std::optional<std::filesystem::path> read;
    };
    const std::vector<Case> cases = {
        {"nothing stored", std::nullopt, std::nullopt},
        {"an absolute folder", UserDefaultsValue(std::string("/home/ada/Sync/Tessary")), "/home/ada/Sync/Tessary"},
        {"an empty text", UserDefaultsValue(std::string()), std::nullopt},
        {"a relative path, which would depend on where the program starts", UserDefaultsValue(std::string("Sync")),
         std::nullopt},
        {"a value of another type", UserDefaultsValue(std::int64_t(7)), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryUserDefaults defaults;
        if (c.stored) defaults.set(SyncFolderSetting::storageKey, *c.stored);
        EXPECT_EQ(SyncFolderSetting::read(defaults), c.read);
    }
}
