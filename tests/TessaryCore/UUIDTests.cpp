#include <gtest/gtest.h>

#include <unordered_set>

#include "TessaryCore/UUID.h"

using namespace tessary;

TEST(UUID, ParsesEitherCaseAndWritesUpperCase) {
    const auto id = UUID::parsing("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(id->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(UUID::parsing("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"), id);
    EXPECT_EQ(UUID::fromJSON(id->toJSON()), *id);
}

TEST(UUID, RefusesMalformedText) {
    for (const char* bad : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
                            "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF", "E621E1F8-C36C-495A-93FC_0C247A3E6E5F",
                            "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F-8C36C-495A-93FC-0C247A3E6E5F",
                            "{E621E1F8-C36C-495A-93FC-0C247A3E6E}"}) {
        EXPECT_FALSE(UUID::parsing(bad).has_value()) << bad;
        EXPECT_THROW(UUID::fromJSON(json::Json(bad)), json::DecodingError) << bad;
    }
    EXPECT_THROW(UUID::fromJSON(json::Json(1)), json::DecodingError);
}

TEST(UUID, RandomIdentifiersAreVersion4AndDistinct) {
    std::unordered_set<UUID> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string text = UUID::random().uuidString();
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        seen.insert(*UUID::parsing(text));
    }
    EXPECT_EQ(seen.size(), 1000u);
}
