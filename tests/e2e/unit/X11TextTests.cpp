#include "Platform/X11/X11Windows.h"

#include <gtest/gtest.h>

#include <string>

namespace tessary {
namespace {

std::string decode(const std::string& bytes, bool utf8) {
    return x11TextToUTF8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), utf8);
}

TEST(X11Text, TitlesBecomeValidUTF8WhateverTheClientWrote) {
    struct Case {
        const char* name;
        std::string bytes;
        bool utf8;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", "Terminal", true, "Terminal"},
        {"valid UTF-8 kept", "caf\xC3\xA9 \xF0\x9F\x98\x80", true, "caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {"Latin-1 converted", "caf\xE9", false, "caf\xC3\xA9"},
        {"stray continuation byte", "a\x80z", true, "a\xEF\xBF\xBDz"},
        {"truncated sequence at the end", "ab\xE2\x82", true, "ab\xEF\xBF\xBD"},
        {"overlong encoding", "\xC0\xAF", true, "\xEF\xBF\xBD"},
        {"encoded surrogate", "\xED\xA0\x80", true, "\xEF\xBF\xBD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", true, "\xEF\xBF\xBD"},
        {"ends at NUL", std::string("one\0two", 7), true, "one"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(decode(c.bytes, c.utf8), c.expected);
    }
}

TEST(X11Text, LongTitlesAreHandledInLinearTime) {
    std::string title(1 << 20, '\xE9');
    std::string decoded = decode(title, false);
    EXPECT_EQ(decoded.size(), title.size() * 2);
    EXPECT_EQ(decode(title, true).size(), title.size() * 3);  // each byte a replacement character
}

}  // namespace
}  // namespace tessary
