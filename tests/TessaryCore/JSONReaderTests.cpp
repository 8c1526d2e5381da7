#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/JSONReader.h"

using namespace tessary::json;
using namespace std::literals;

namespace {

// Same type, same value, same bits of every double (so -0.0 differs from 0.0).
bool identical(const Json& a, const Json& b) {
    if (a.type() != b.type()) return false;
    if (a.is_number_float()) {
        return std::bit_cast<std::uint64_t>(a.get<double>()) == std::bit_cast<std::uint64_t>(b.get<double>());
    }
    if (a.is_structured()) {
        if (a.size() != b.size()) return false;
        if (a.is_object()) {
            for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
                if (i.key() != j.key() || !identical(*i, *j)) return false;
            }
        } else {
            for (std::size_t i = 0; i < a.size(); ++i) {
                if (!identical(a[i], b[i])) return false;
            }
        }
        return true;
    }
    return a == b;
}

std::optional<Json> nlohmannParse(std::string_view text) {
    try {
        return Json::parse(text.begin(), text.end());
    } catch (const Json::exception&) {
        return std::nullopt;
    }
}

// Reads the text with both and expects them to agree, on `accepted` as given.
void expectAgreement(std::string_view text, bool accepted) {
    SCOPED_TRACE(::testing::Message() << "text: " << ::testing::PrintToString(std::string(text)));
    Json ours;
    const auto verdict = JSONReader::read(text, ours);
    const std::optional<Json> theirs = nlohmannParse(text);
    ASSERT_EQ(theirs.has_value(), accepted) << "the case itself is wrong about nlohmann";
    ASSERT_EQ(verdict, accepted ? JSONReader::Verdict::accepted : JSONReader::Verdict::malformed);
    if (accepted) {
        EXPECT_TRUE(identical(ours, *theirs)) << ours.dump() << " vs " << theirs->dump();
    }
}

Json read(std::string_view text) {
    Json value;
    EXPECT_EQ(JSONReader::read(text, value), JSONReader::Verdict::accepted) << text;
    return value;
}

}  // namespace

TEST(JSONReader, NumbersTakeNlohmannsTypesAndValues) {
    struct Case {
        std::string_view text;
        Json::value_t type;
    };
    const Case cases[] = {
        {"0", Json::value_t::number_unsigned},
        {"7", Json::value_t::number_unsigned},
        {"-0", Json::value_t::number_integer},
        {"-7", Json::value_t::number_integer},
        {"18446744073709551615", Json::value_t::number_unsigned},
        {"18446744073709551616", Json::value_t::number_float},
        {"-9223372036854775808", Json::value_t::number_integer},
        {"-9223372036854775809", Json::value_t::number_float},
        {"123456789012345678901234567890", Json::value_t::number_float},
        {"-0.0", Json::value_t::number_float},
        {"-0e7", Json::value_t::number_float},
        {"0.1", Json::value_t::number_float},
        {"8.0", Json::value_t::number_float},
        {"1E2", Json::value_t::number_float},
        {"1e+2", Json::value_t::number_float},
        {"25e-1", Json::value_t::number_float},
        {"0.000000000000000000000001", Json::value_t::number_float},
        {"763637213.589", Json::value_t::number_float},
        // Beyond the exact fast path: more digits than 2^53, exponents beyond 10^22.
        {"9007199254740993.0", Json::value_t::number_float},
        {"1.00000000000000011102230246251565404236316680908203125", Json::value_t::number_float},
        {"1e23", Json::value_t::number_float},
        {"123.456e-30", Json::value_t::number_float},
        {"1.7976931348623157e308", Json::value_t::number_float},
        {"4.9406564584124654e-324", Json::value_t::number_float},
        // Underflow reads as zero with its sign, as strtod gives it.
        {"1e-400", Json::value_t::number_float},
        {"-1e-400", Json::value_t::number_float},
        {"2.4703282292062327e-324", Json::value_t::number_float},
        {"0e99999999999999999999", Json::value_t::number_float},
    };
    for (const Case& c : cases) {
        expectAgreement(c.text, true);
        EXPECT_EQ(read(c.text).type(), c.type) << c.text;
    }
    EXPECT_TRUE(std::signbit(read("-1e-400").get<double>()));
    EXPECT_TRUE(std::signbit(read("-0.0").get<double>()));

    for (std::string_view bad : {"01", "-01", "1.", ".5", "+1", "-", "1e", "1e+", "1.e3", "0x10", "NaN", "Infinity",
                                 "-Infinity", "1e400", "-1e400", "1.7976931348623159e308", "1 2", "--1"}) {
        expectAgreement(bad, false);
    }
}

TEST(JSONReader, RandomNumbersReadToTheSameBitsAsNlohmanns) {
    // Every path: exact mantissas with small exponents, long mantissas, underflow and overflow.
    std::mt19937_64 random(7);
    const auto digits = [&](int count, bool leading) {
        std::string out;
        for (int i = 0; i < count; ++i) {
            out += static_cast<char>('0' + (i == 0 && leading ? 1 + random() % 9 : random() % 10));
        }
        return out;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 2 ? "-" : "";
        const int whole = static_cast<int>(random() % 21);
        text += whole == 0 ? "0" : digits(whole, true);
        if (random() % 3) text += "." + digits(1 + static_cast<int>(random() % 20), false);
        if (random() % 2) {
            const int span = random() % 4 == 0 ? 700 : 50;
            text += (random() % 2 ? "e" : "E") + std::to_string(static_cast<int>(random() % span) - span / 2);
        }
        const bool overflows = !nlohmannParse(text).has_value();
        expectAgreement(text, !overflows);
    }
}

TEST(JSONReader, StringsFollowNlohmannsEscapeAndUTF8Rules) {
    const std::string_view accepted[] = {
        R"("")",
        R"("plain text")",
        R"("\"\\\/\b\f\n\r\t")",
        R"("\u0000\u001f\u00e9\u20AC\uFFFF")",
        R"("\ud83d\ude00 and \uD800\uDC00 and \udbff\udfff")",
        "\"\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF \xEF\xBF\xBF \x7F\"",
        "\"\xED\x9F\xBF\"",  // U+D7FF, just below the surrogates
        R"({"k\u00e9y": "v\nalue", "\u0000": 1})",
    };
    for (std::string_view text : accepted) expectAgreement(text, true);
    EXPECT_EQ(read(R"("a\u0000b")").get<std::string>(), "a\0b"s);
    EXPECT_EQ(read(R"("\ud83d\ude00")").get<std::string>(), "\xF0\x9F\x98\x80");

    const std::string_view refused[] = {
        "\"unterminated",
        R"("\)",
        R"("\x")",
        R"("\U0041")",
        R"("\u12")",
        R"("\u12G4")",
        R"("\ud800")",         // a lone high surrogate
        R"("\udc00")",         // a lone low surrogate
        R"("\ud800\u0041")",   // a high surrogate followed by no low one
        R"("\ud800\ud800")",
        R"("\ud800x")",
        R"("\ud800\")",
        "\"tab\there\"",       // control characters must be escaped
        "\"\x01\"",
        "\"\x1F\"",
        "\"\x80\"",            // a lone continuation byte
        "\"\xC0\x80\"",        // overlong
        "\"\xC1\xBF\"",
        "\"\xE0\x80\x80\"",
        "\"\xF0\x80\x80\x80\"",
        "\"\xED\xA0\x80\"",    // a surrogate in UTF-8
        "\"\xF4\x90\x80\x80\"",  // beyond U+10FFFF
        "\"\xF5\x80\x80\x80\"",
        "\"\xFF\"",
        "\"\xE2\x82\"",        // truncated
        "\"\xE2\x82",
        "\"\xC3\"",
        "\"\xC3\x28\"",
    };
    for (std::string_view text : refused) expectAgreement(text, false);
}

TEST(JSONReader, GrammarAndWhitespaceAsNlohmann) {
    const std::string_view accepted[] = {
        "true",
        "null",
        " \t\r\n[ 1 , { \"a\" : [ ] , \"b\" : { } } ]\n ",
        "\xEF\xBB\xBF{}",                // a byte order mark
        "[1]\0 anything after a NUL"sv,  // nlohmann ends the text at a NUL byte
        "{\"a\":1}\0"sv,
        R"({"b": 1, "a": 2, "b": [3], "c": {"x": 1}, "c": 4})",
    };
    for (std::string_view text : accepted) expectAgreement(text, true);

    const std::string_view refused[] = {
        "",
        "   ",
        "\0"sv,
        "[1,\0]"sv,
        "[",
        "]",
        "[1,]",
        "[,1]",
        "[1 2]",
        "{\"a\":1,}",
        "{\"a\" 1}",
        "{\"a\":}",
        "{1:2}",
        "{'a':1}",
        "{\"a\":1 \"b\":2}",
        "nul",
        "truex",
        "True",
        "true false",
        "[] []",
        "\f1",  // form feed is not JSON whitespace
        "\v1",
        "\xEF\xBB{}",  // a partial byte order mark
        " \xEF\xBB\xBF{}",
        "// comment\n1",
        "[1]]",
    };
    for (std::string_view text : refused) expectAgreement(text, false);
}

TEST(JSONReader, TheLastOfRepeatedKeysWins) {
    const Json value = read(R"({"b": 1, "a": 2, "b": [3], "a": {"x": true}})");
    EXPECT_EQ(value.size(), 2u);
    EXPECT_EQ(value["b"], Json::array({3}));
    EXPECT_EQ(value["a"], Json::object({{"x", true}}));
}

TEST(JSONReader, NestingBeyondTheLimitIsRefusedWhereNlohmannWouldRecurse) {
    const auto nested = [](int depth, std::string_view open, std::string_view close) {
        std::string text;
        for (int i = 0; i < depth; ++i) text += open;
        text += "1";
        for (int i = 0; i < depth; ++i) text += close;
        return text;
    };
    const int limit = JSONReader::maximumDepth;
    struct Case {
        std::string_view open, close;
        int levels;  // per repetition
    };
    for (const Case& c : {Case{"[", "]", 1}, Case{"{\"k\":", "}", 1}, Case{"{\"k\":[", "]}", 2}}) {
        Json value;
        EXPECT_EQ(JSONReader::read(nested(limit / c.levels, c.open, c.close), value),
                  JSONReader::Verdict::accepted)
            << c.open;
        const std::string deep = nested(limit / c.levels + 1, c.open, c.close);
        EXPECT_EQ(JSONReader::read(deep, value), JSONReader::Verdict::tooDeep) << c.open;
        EXPECT_TRUE(nlohmannParse(deep).has_value());
    }
    // nlohmann reads this without recursing, but copying, comparing or writing the value it gives
    // recurses a million levels and overflows the stack: the text is refused instead.
    const std::string hostile = nested(1000000, "[", "]");
    EXPECT_THROW((void)parse(hostile), DecodingError);
}

TEST(JSONReader, RefusalsCarryNlohmannsMessage) {
    struct Case {
        std::string_view text;
        std::string_view detail;
    };
    const Case cases[] = {
        {"{\"a\": ", "[json.exception.parse_error.101] parse error at line 1, column 7"},
        {"[1e400]", "[json.exception.out_of_range.406] number overflow parsing '1e400'"},
        {"\"\\ud800\"", "surrogate U+D800..U+DBFF must be followed by U+DC00..U+DFFF"},
        {std::string_view("[[[[", 4), "unexpected end of input"},
    };
    for (const Case& c : cases) {
        try {
            (void)JSONReader::parse(c.text);
            ADD_FAILURE() << c.text;
        } catch (const DecodingError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind("The data couldn't be read because it isn't in the correct format. (", 0), 0u)
                << message;
            EXPECT_NE(message.find(c.detail), std::string::npos) << message;
        }
    }
    try {
        (void)parse(std::string(600, '['));
        ADD_FAILURE();
    } catch (const DecodingError& error) {
        EXPECT_NE(std::string(error.what()).find("nested deeper than 512 levels"), std::string::npos);
    }
}
