#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TessaryCore/JSONCoding.h"

using namespace tessary;
using namespace tessary::json;

TEST(JSONCoding, IntegersAreReadStrictly) {
    EXPECT_EQ(asInt64(parse("8"), "n"), 8);
    EXPECT_EQ(asInt64(parse("-9223372036854775808"), "n"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(asInt64(parse("9223372036854775807"), "n"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(asInt64(parse("8.0"), "n"), 8);
    for (const char* bad : {"8.7", "true", "false", "\"8\"", "null", "9223372036854775808", "1e19", "-1e19", "[]"}) {
        EXPECT_THROW(asInt64(parse(bad), "n"), DecodingError) << bad;
    }
}

TEST(JSONCoding, DoublesAcceptIntegersAndRefuseOtherTypes) {
    EXPECT_EQ(asDouble(parse("3"), "d"), 3.0);
    EXPECT_EQ(asDouble(parse("-0.25"), "d"), -0.25);
    EXPECT_THROW(asDouble(parse("true"), "d"), DecodingError);
    EXPECT_THROW(asDouble(parse("null"), "d"), DecodingError);
}

TEST(JSONCoding, NonFiniteNumbersAreRefusedWhenEncoding) {
    EXPECT_THROW(fromDouble(std::nan(""), "w"), EncodingError);
    EXPECT_THROW(fromDouble(std::numeric_limits<double>::infinity(), "w"), EncodingError);
    EXPECT_THROW(encodeRect(Rect::null()), EncodingError);
    EXPECT_EQ(dumpCompact(encodeRect(Rect(1, 2, 3.5, 4))), "[[1.0,2.0],[3.5,4.0]]");
}

TEST(JSONCoding, OptionalKeysAcceptMissingAndNull) {
    const Json doc = parse(R"({"a": null, "b": 2})");
    EXPECT_FALSE(optionalInt64(doc, "a").has_value());
    EXPECT_FALSE(optionalInt64(doc, "missing").has_value());
    EXPECT_EQ(optionalInt64(doc, "b"), 2);
    EXPECT_THROW(requireInt64(doc, "missing"), DecodingError);
    EXPECT_THROW(requireInt64(parse("[1]"), "a"), DecodingError);
}

TEST(JSONCoding, RectanglesRoundTripAndMalformedOnesAreErrors) {
    const Rect r(-10.5, 20, 300, 0.25);
    EXPECT_EQ(decodeRect(parse(dumpCompact(encodeRect(r)))), r);
    for (const char* bad : {"[[1,2],[3]]", "[[1,2]]", "[1,2,3,4]", "[[1,2],[3,\"4\"]]", "{}"}) {
        EXPECT_THROW(decodeRect(parse(bad)), DecodingError) << bad;
    }
}

TEST(JSONCoding, InvalidUTF8IsAnEncodingErrorAndSyntaxErrorsAreDecodingErrors) {
    Json doc = Json::object();
    doc["title"] = std::string("bad \xff byte");
    EXPECT_THROW(dumpPretty(doc), EncodingError);
    EXPECT_THROW(parse("{\"a\": "), DecodingError);
    EXPECT_THROW(parse(""), DecodingError);
    // A number beyond the range of a double is refused like any other malformed text.
    EXPECT_THROW(parse("[1e400]"), DecodingError);
}
