#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <unordered_set>

#include "TessaryCore/Date.h"

using namespace tessary;

namespace {

// 2025-03-14T09:26:53Z in seconds since 2001.
constexpr double piDay = 763637213.0;

}  // namespace

TEST(Date, RoundsToWholeMillisecondsHalvesAwayFromZero) {
    const struct {
        double in, out;
    } cases[] = {
        {12.3456, 12.346}, {12.3454, 12.345}, {0.0005, 0.001}, {-0.0005, -0.001}, {-0.25, -0.25}, {7.0, 7.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Date(c.in).roundedToMilliseconds(), Date(c.out)) << c.in;
    }
    EXPECT_TRUE(std::isnan(Date(std::nan("")).roundedToMilliseconds().secondsSinceReferenceDate()));
}

TEST(Date, WritesUTCWithExactlyThreeDecimals) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "2001-01-01T00:00:00.000Z"},
        {-0.25, "2000-12-31T23:59:59.750Z"},  // floor, not truncation, before 2001
        {-86400.001, "2000-12-30T23:59:59.999Z"},
        {piDay + 0.589, "2025-03-14T09:26:53.589Z"},
        {piDay + 0.9996, "2025-03-14T09:26:54.000Z"},  // rounding carries into the seconds
        {Date::fromUnixTime(0).secondsSinceReferenceDate(), "1970-01-01T00:00:00.000Z"},
        {Date::fromUnixTime(951782400).secondsSinceReferenceDate(), "2000-02-29T00:00:00.000Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Date(c.seconds).iso8601(), c.text) << c.seconds;
        EXPECT_EQ(Date::parsingISO8601(c.text), Date(c.seconds).roundedToMilliseconds()) << c.text;
    }
}

TEST(Date, ReadsTheDocumentForms) {
    EXPECT_EQ(Date::parsingISO8601("2025-03-14T09:26:53Z"), Date(piDay));
    EXPECT_EQ(Date::parsingISO8601("2025-03-14T10:26:53+01:00"), Date(piDay));
    EXPECT_EQ(Date::parsingISO8601("2025-03-14T08:56:53-00:30"), Date(piDay));
}

TEST(Date, RefusesWhatIsNotADateWithItsText) {
    for (const char* bad : {
             "2025-03-14T09:26:53.5Z", "2025-03-14T09:26:53.58Z", "2025-03-14T09:26:53.5891Z",
             "2025-03-14T09:26:53.589+01:00",  // a fraction is only read before "Z"
             "2025-03-14T09:26:53.-12Z", "2025-03-14T09:26:53.5a9Z", "2025-03-14 09:26:53Z", "2025-03-14",
             "2025-02-29T00:00:00Z", "2025-13-01T00:00:00Z", "2025-03-14T24:00:00Z", "2025-03-14T09:26:60Z",
             "2025-03-14T09:26:53", "2025-03-14T09:26:53Zjunk", "2025-03-14T09:26:53+0100", "", "Z.",
         }) {
        EXPECT_FALSE(Date::parsingISO8601(bad).has_value()) << bad;
        try {
            Date::fromJSON(json::Json(bad));
            ADD_FAILURE() << bad;
        } catch (const json::DecodingError& error) {
            EXPECT_EQ(std::string(error.what()), std::string("Bad date: ") + bad);
        }
    }
    EXPECT_THROW(Date::fromJSON(json::Json(12.5)), json::DecodingError);
}

TEST(Date, RefusesToWriteWhatCouldNotBeReadBack) {
    for (double t : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     1e300, -1e300, 252423993600.0, -63145526400.001}) {
        EXPECT_FALSE(Date(t).iso8601().has_value()) << t;
        EXPECT_THROW(Date(t).toJSON(), json::EncodingError) << t;
    }
}

TEST(Date, EqualDatesHashEqually) {
    std::unordered_set<Date> set{Date(0.0), Date(-0.0), Date(1.5)};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_LT(Date::distantPast(), Date(-1e9));
}
