#include <gtest/gtest.h>

#include "TessaryCore/JSONCoding.h"
#include "TessaryCore/UnicodeText.h"
#include "TessaryCore/UserText.h"

using namespace tessary;

TEST(UnicodeText, ReplacesEachIllFormedSubpartWithOneReplacementCharacter) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::string in, out;
    } cases[] = {
        {"Inbox", "Inbox"},
        {"caf\xC3\xA9 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", "caf\xC3\xA9 \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"\xFF", r},
        {"a\xE2\x82" "b", "a" + r + "b"},           // truncated sequence: one replacement
        {"\xE2\x82", r},                            // truncated at the end
        {"\xC0\xAF", r + r},                        // overlong lead bytes are never valid
        {"\xE0\x80\xAF", r + r + r},                // overlong three-byte form
        {"\xED\xA0\x80", r + r + r},                // a surrogate
        {"\xF4\x90\x80\x80", r + r + r + r},        // past U+10FFFF
        {"\xF0\x9F\x98", r},                        // emoji cut short
        {"\x80\x80", r + r},                        // stray continuation bytes
        {"Mail \xE9t\xE9", "Mail " + r + "t" + r},  // Latin-1 where UTF-8 was expected
    };
    for (const auto& c : cases) {
        EXPECT_EQ(validUTF8(c.in), c.out) << c.in;
        EXPECT_TRUE(isValidUTF8(validUTF8(c.in)));
        EXPECT_EQ(isValidUTF8(c.in), c.in == c.out) << c.in;
        EXPECT_NO_THROW(json::dumpCompact(json::Json(validUTF8(c.in))));
    }
}

TEST(UnicodeText, CanonicallyEquivalentTextsAreEqual) {
    EXPECT_TRUE(canonicallyEqual("Caf\xC3\xA9", "Cafe\xCC\x81"));  // precomposed and combining accent
    EXPECT_FALSE(canonicallyEqual("Caf\xC3\xA9", "CAF\xC3\x89"));  // case still counts
    EXPECT_FALSE(canonicallyEqual("\xEF\xAC\x81", "fi"));          // compatibility forms still differ
    EXPECT_TRUE(canonicallyEqual("", ""));
}

TEST(UnicodeText, LocalizedComparisonIgnoresCaseButNotAccents) {
    EXPECT_TRUE(localizedCaseInsensitiveEqual("Work", "wORK"));
    EXPECT_TRUE(localizedCaseInsensitiveEqual("Caf\xC3\xA9", "CAFE\xCC\x81"));
    EXPECT_FALSE(localizedCaseInsensitiveEqual("Cafe", "Caf\xC3\xA9"));
    EXPECT_FALSE(localizedCaseInsensitiveEqual("Work", "Works"));
}

TEST(UnicodeText, TrimsSpaceSeparatorsAndTabsButNotLineBreaks) {
    EXPECT_EQ(trimmingSpacesAndTabs("  Inbox  "), "Inbox");
    EXPECT_EQ(trimmingSpacesAndTabs("\t\xC2\xA0\xE3\x80\x80Inbox Today\t"), "Inbox Today");  // NBSP, ideographic space
    EXPECT_EQ(trimmingSpacesAndTabs("\nInbox\n"), "\nInbox\n");
    EXPECT_EQ(trimmingSpacesAndTabs(" \t "), "");
    EXPECT_EQ(trimmingSpacesAndTabs("\x0BInbox\x0C"), "\x0BInbox\x0C") << "other ASCII controls are no spaces";
    EXPECT_EQ(trimmingSpacesAndTabs(" \xFF "), "\xFF");
}

TEST(UserText, CountsUserPerceivedCharacters) {
    struct Case {
        const char* name;
        std::string text;
        std::size_t count;
    };
    const Case cases[] = {
        {"ASCII letters", "**New**", 7},
        {"CR LF is one character", "a\r\nb\r\n", 4},
        {"LF CR are two", "\n\r", 2},
        {"a lone CR and LF each count", "\r\r\n\n", 3},
        {"a combining accent joins its letter", "e\u0301**", 3},
        {"a flag is one", "\U0001F1E9\U0001F1EA!", 2},
        {"empty", "", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(graphemeCount(c.text), c.count) << c.name;
}
