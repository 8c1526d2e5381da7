#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/JSONWriter.h"

using namespace tessary::json;
using namespace std::string_literals;

namespace {

std::string nlohmannDump(const Json& value, JSONWriter::Style style) {
    return value.dump(style == JSONWriter::Style::pretty ? 2 : -1, ' ', false, Json::error_handler_t::strict);
}

void expectSameText(const Json& value) {
    for (const auto style : {JSONWriter::Style::pretty, JSONWriter::Style::compact}) {
        EXPECT_EQ(JSONWriter::write(value, style), nlohmannDump(value, style)) << nlohmannDump(value, style);
    }
}

}  // namespace

TEST(JSONWriter, DoublesAreWrittenAsNlohmannWritesThem) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {1.0, "1.0"},
        {-8.0, "-8.0"},
        {0.1, "0.1"},
        {763637213.589, "763637213.589"},
        {999999999999999.0, "999999999999999.0"},
        {1e15, "1e+15"},
        {-1e15, "-1e+15"},
        {1e16, "1e+16"},
        {123456789012345680.0, "1.2345678901234568e+17"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {1.5e300, "1.5e+300"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {std::nan(""), "null"},
        {std::numeric_limits<double>::infinity(), "null"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JSONWriter::write(Json(c.value), JSONWriter::Style::compact), c.text) << c.text;
        expectSameText(Json(c.value));
    }
}

TEST(JSONWriter, WholeNumberShortcutMatchesNlohmannsGeneralFormatting) {
    // Whole doubles below 1e15 skip the general algorithm; they must print exactly as it would.
    Json values = Json::array();
    for (int i = -1000; i <= 1000; ++i) values.push_back(static_cast<double>(i));
    for (int bit = 0; bit < 64; ++bit) {
        const double power = std::ldexp(1.0, bit);
        for (double v : {power - 1, power, power + 1}) values.push_back(v), values.push_back(-v);
    }
    for (double power = 1; power < 1e17; power *= 10) {
        for (double v : {power - 1, power, power + 1}) values.push_back(v), values.push_back(-v);
    }
    std::mt19937_64 random(20240601);
    for (int i = 0; i < 20000; ++i) {
        const double v = std::trunc(std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 16)));
        values.push_back(v);
        values.push_back(v / 1024);  // and near-whole neighbours that take the general path
        values.push_back(std::bit_cast<double>(random()));
    }
    expectSameText(values);
}

TEST(JSONWriter, StringsAreEscapedAsNlohmannEscapesThem) {
    const Json text = "quote \" backslash \\ slash / \b\f\n\r\t \x01\x1F\x7F nul "s + '\0' +
                      " UTF-8 \xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80 and a longer run of plain text";
    EXPECT_EQ(JSONWriter::write(text, JSONWriter::Style::compact),
              "\"quote \\\" backslash \\\\ slash / \\b\\f\\n\\r\\t \\u0001\\u001f\x7F nul \\u0000 UTF-8 \xC3\xA9 "
              "\xE2\x80\x94 \xF0\x9F\x98\x80 and a longer run of plain text\"");
    expectSameText(text);
    std::string everyByte;
    for (int c = 0; c < 0x80; ++c) everyByte += static_cast<char>(c);
    expectSameText(Json::object({{everyByte, everyByte}}));
}

TEST(JSONWriter, LayoutMatchesNlohmannAtEveryLevel) {
    const Json value = Json::parse(R"({
        "empty object": {}, "empty array": [], "zeta": [1, -2, 18446744073709551615, -9223372036854775808,
        {"nested": [[], [{}], [true, false, null]]}], "alpha": {"b": "c", "a": [0.5, 2.0]}
    })");
    expectSameText(value);
    EXPECT_EQ(JSONWriter::write(value["alpha"], JSONWriter::Style::pretty),
              "{\n  \"a\": [\n    0.5,\n    2.0\n  ],\n  \"b\": \"c\"\n}");
    for (const Json& scalar : {Json(nullptr), Json(true), Json(""), Json::array(), Json::object()}) {
        expectSameText(scalar);
    }
    // Deep enough that the indentation outgrows any fixed block.
    Json deep = 1;
    for (int i = 0; i < 300; ++i) deep = Json::array({deep, Json::object({{"k", i}})});
    expectSameText(deep);
    // Values nlohmann alone knows how to write are left to it.
    expectSameText(Json::binary({1, 2, 3}, 7));
    expectSameText(Json::object({{"bytes", Json::binary({})}}));
}

TEST(JSONWriter, InvalidUTF8IsRefusedWithNlohmannsMessage) {
    const std::string bad[] = {
        "\xFF",         "ab\x80",         "\xC0\x80",         "\xC1\xBF",      "\xE0\x80\x80",
        "x\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xC3\x28",      "\xE2\x82\x28",
        "\xE2\x82",      "ok \xF0\x9F\x98",  "\xC3",             "valid \xC3\xA9 then \xFE",
    };
    for (const std::string& text : bad) {
        const Json values[] = {Json(text), Json::object({{text, 1}}), Json::array({1, Json::object({{"k", text}})})};
        for (const Json& value : values) {
            for (const auto style : {JSONWriter::Style::pretty, JSONWriter::Style::compact}) {
                std::string expected;
                try {
                    (void)nlohmannDump(value, style);
                    ADD_FAILURE() << "nlohmann accepts " << text;
                } catch (const Json::type_error& error) {
                    expected = "The data could not be written: "s + error.what();
                }
                try {
                    (void)JSONWriter::write(value, style);
                    ADD_FAILURE() << "accepted " << ::testing::PrintToString(text);
                } catch (const EncodingError& error) {
                    EXPECT_EQ(error.what(), expected);
                }
            }
        }
    }
}
