#include <gtest/gtest.h>

#include <map>

#include "Tessary/integrations/ReleaseNote.h"
#include "Tessary/integrations/ui/PreferredLanguage.h"
#include "Tessary/integrations/ui/ReleaseNoteResources.h"

using namespace tessary;

namespace {

using Section = ReleaseNote::Section;

Date day(const char* text) { return *Date::parsingISO8601(std::string(text) + "T00:00:00Z"); }

}  // namespace

TEST(ReleaseNote, HeadingsGiveTheVersionAndTheDate) {
    struct Case {
        const char* name;
        const char* heading;
        const char* version;
        std::optional<Date> date;
    };
    const Case cases[] = {
        {"em dash", "Tessary 2.1 \xE2\x80\x94 2025-03-04", "2.1", day("2025-03-04")},
        {"hyphen", "Tessary 2.1 - 2025-03-04", "2.1", day("2025-03-04")},
        {"em dash wins over hyphen", "2.1 - beta \xE2\x80\x94 2025-03-04", "2.1 - beta", day("2025-03-04")},
        {"version only", "2.1", "2.1", std::nullopt},
        {"date in words", "2.1 \xE2\x80\x94 March 4", "2.1", std::nullopt},
        {"no such day", "2.1 \xE2\x80\x94 2025-02-30", "2.1", std::nullopt},
        {"date with a time", "2.1 \xE2\x80\x94 2025-03-04T10:00:00Z", "2.1", std::nullopt},
        {"product word alone", "Tessary", "Tessary", std::nullopt},
        {"blanks around parts", "  Tessary 3.0   \xE2\x80\x94   2026-01-02  ", "3.0", day("2026-01-02")},
        {"third part ignored", "3.0 - 2026-01-02 - extra", "3.0", day("2026-01-02")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReleaseNote note = ReleaseNote::parseHeading(c.heading);
        EXPECT_EQ(note.version, c.version);
        EXPECT_EQ(note.date, c.date);
        EXPECT_TRUE(note.sections.empty());
    }
}

TEST(ReleaseNote, LinesBecomeSectionsAndItems) {
    struct Case {
        const char* name;
        const char* text;
        std::vector<ReleaseNote> expected;
    };
    const Case cases[] = {
        {"items before a title go into an untitled section",
         "## 1.0\n- one\n**New**\n- two\n",
         {{"1.0", std::nullopt, {{"", {"one"}}, {"New", {"two"}}}}}},
        {"title of six characters", "## 1.0\n**Ab**\n- x", {{"1.0", std::nullopt, {{"Ab", {"x"}}}}}},
        {"four asterisks are no title", "## 1.0\n****\n- x", {{"1.0", std::nullopt, {{"", {"x"}}}}}},
        {"blanks inside a title stay", "## 1.0\n** Fixed **", {{"1.0", std::nullopt, {{" Fixed ", {}}}}}},
        {"items before the first heading are ignored", "- lost\n**Lost**\n## 1.0\n- kept",
         {{"1.0", std::nullopt, {{"", {"kept"}}}}}},
        {"comment across lines hides what is inside and after its end",
         "## 1.0\n<!-- start\n## 9.9\n- hidden\nend --> - hidden too\n- shown",
         {{"1.0", std::nullopt, {{"", {"shown"}}}}}},
        {"comment on one line hides only that line", "## 1.0\n<!-- note --> \n- shown",
         {{"1.0", std::nullopt, {{"", {"shown"}}}}}},
        {"a closing mark outside a comment is an ordinary line", "## 1.0\n-->\n- shown",
         {{"1.0", std::nullopt, {{"", {"shown"}}}}}},
        {"other lines are ignored", "## 1.0\n### 3\n* star\n-nospace\nparagraph\n- ok  ",
         {{"1.0", std::nullopt, {{"", {"ok"}}}}}},
        {"every line break splits", "## 1.0\r\n- a\r- b\xC2\x85- c\xE2\x80\xA8- d\xE2\x80\xA9- e\v- f\f- g",
         {{"1.0", std::nullopt, {{"", {"a", "b", "c", "d", "e", "f", "g"}}}}}},
        {"indented lines and Unicode blanks are trimmed", "\t## 1.0\n\xC2\xA0 - item\xE2\x80\x83\n",
         {{"1.0", std::nullopt, {{"", {"item"}}}}}},
        {"two releases in file order", "## 2.0\n- b\n## 1.0\n- a",
         {{"2.0", std::nullopt, {{"", {"b"}}}}, {"1.0", std::nullopt, {{"", {"a"}}}}}},
        {"nothing", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReleaseNote::parse(c.text), c.expected);
    }
}

TEST(ReleaseNote, LoadPrefersTheLanguageThenTheFallback) {
    const std::map<std::string, std::string> both{{"ReleaseNotes.de.md", "## 1.0\n- Deutsch"},
                                                  {"ReleaseNotes.md", "## 1.0\n- English"}};
    const std::map<std::string, std::string> fallbackOnly{{"ReleaseNotes.md", "## 1.0\n- English"}};
    const std::map<std::string, std::string> badUTF8{{"ReleaseNotes.md", "## 1.0\n- bad \xff"}};
    const std::map<std::string, std::string> none;
    struct Case {
        const char* name;
        const std::map<std::string, std::string>& resources;
        const char* language;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {"German resource", both, "de", {"Deutsch"}},
        {"no resource for the language", fallbackOnly, "de", {"English"}},
        {"English asks for its own file first", both, "en", {"English"}},
        {"a language that is not a code is not a file name", both, "../de", {"English"}},
        {"no resource", none, "de", {}},
        {"invalid UTF-8", badUTF8, "en", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto notes = ReleaseNote::load(c.language, [&](std::string_view name) -> std::optional<std::string> {
            const auto found = c.resources.find(std::string(name));
            if (found == c.resources.end()) return std::nullopt;
            return found->second;
        });
        std::vector<std::string> items;
        for (const auto& note : notes) {
            for (const auto& section : note.sections) items.insert(items.end(), section.items.begin(), section.items.end());
        }
        EXPECT_EQ(items, c.items);
    }
}

TEST(ReleaseNote, TheShippedNotesDescribeThisVersion) {
    const auto& notes = allReleaseNotes();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.front().version, "0.1.0");
    EXPECT_TRUE(notes.front().date.has_value());
    EXPECT_GE(notes.front().sections.size(), 3u);
    EXPECT_EQ(&allReleaseNotes(), &notes) << "read once";
}

TEST(ReleaseNote, TheLanguageIsTheFirstInterfaceLanguage) {
    struct Case {
        const char* name;
        QStringList languages;
        const char* expected;
    };
    const Case cases[] = {
        {"region dropped", {"de-DE", "en-US"}, "de"},
        {"underscore form", {"pt_BR"}, "pt"},
        {"script and region", {"zh-Hant-TW"}, "zh"},
        {"none", {}, "en"},
        {"the C locale names no language", {"C"}, "en"},
        {"nor does POSIX", {"POSIX"}, "en"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(preferredLanguage(c.languages), c.expected);
    }
}
