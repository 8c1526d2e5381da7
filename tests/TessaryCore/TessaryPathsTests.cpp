#include <gtest/gtest.h>

#include "TessaryCore/TessaryPaths.h"

using namespace tessary;

TEST(TessaryPaths, FollowsTheXDGRules) {
    const auto environment = [](std::optional<std::string> dataHome, std::optional<std::string> home) {
        return [=](const char* name) -> std::optional<std::string> {
            if (std::string(name) == "XDG_DATA_HOME") return dataHome;
            if (std::string(name) == "HOME") return home;
            return std::nullopt;
        };
    };
    EXPECT_EQ(TessaryPaths::folder(environment("/data", "/home/ann")), "/data/Tessary");
    EXPECT_EQ(TessaryPaths::folder(environment(std::nullopt, "/home/ann")), "/home/ann/.local/share/Tessary");
    EXPECT_EQ(TessaryPaths::folder(environment("", "/home/ann")), "/home/ann/.local/share/Tessary");
    EXPECT_EQ(TessaryPaths::folder(environment("relative/dir", "/home/ann")), "/home/ann/.local/share/Tessary");
}
