#include <gtest/gtest.h>

#include <string>

#include "TessaryCore/Expected.h"

using namespace tessary;

enum class Failure { bad, worse };

TEST(Expected, HoldsAValueOrAnError) {
    Expected<std::string, Failure> ok = std::string("fine");
    ASSERT_TRUE(ok);
    EXPECT_EQ(*ok, "fine");
    EXPECT_EQ(ok->size(), 4u);
    Expected<std::string, Failure> failed = unexpected(Failure::worse);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), Failure::worse);
    Expected<void, Failure> done;
    EXPECT_TRUE(done.hasValue());
    Expected<void, Failure> refused = unexpected(Failure::bad);
    EXPECT_EQ(refused.error(), Failure::bad);
}
