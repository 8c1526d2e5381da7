#include <gtest/gtest.h>

#include "TessaryCore/RuleSet.h"
#include "TessaryCore/TitlePattern.h"
#include "TestSupport.h"

using namespace tessary;

namespace {

PlacementRule rule(int n, std::optional<std::string> pattern, std::string bundle = "Mail", double modified = 100) {
    return PlacementRule(idNumber(n), true, std::move(bundle), std::move(pattern), std::nullopt, {0}, Date(modified));
}

std::vector<int> order(const RuleSet& set) {
    std::vector<int> out;
    for (const auto& r : set.rules) out.push_back(std::stoi(r.id.uuidString().substr(24)));
    return out;
}

RuleSet fourRules() {
    RuleSet set;
    for (int n = 0; n < 4; ++n) set.rules.push_back(rule(n, std::nullopt));
    return set;
}

}  // namespace

TEST(PlacementRule, MatchesTitlesAsPatterns) {
    const struct {
        std::optional<std::string> pattern;
        std::optional<std::string> title;
        bool matches;
    } cases[] = {
        {std::nullopt, "Anything", true},   {std::nullopt, std::nullopt, true},
        {"", std::nullopt, true},           {"   ", "Anything", true},
        {"\t", std::nullopt, true},         {"inbox", "Re: Inbox (3)", true},  // unanchored, ignoring case
        {"^Inbox$", "INBOX", true},         {"^Inbox$", "Inbox 2", false},
        {"^$", std::nullopt, true},         {"Inbox", std::nullopt, false},
        {"  Inbox  ", "My Inbox", true},    {"  Inbox  ", "MyInbox", true},
        {"(", "(", false},                  {"caf\xC3\xA9", "CAF\xC3\x89 du coin", true},
        {"\nInbox", "Inbox", false},  // line breaks are not trimmed
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rule(1, c.pattern).matches("Mail", c.title), c.matches)
            << c.pattern.value_or("<none>") << " / " << c.title.value_or("<none>");
    }
    EXPECT_FALSE(rule(1, std::nullopt).matches("mail", "Inbox"));  // the application is compared exactly
    EXPECT_TRUE(rule(1, std::nullopt, "Writer\xE9").matches("Writer\xE9", "x"));  // as stored, made valid
    PlacementRule disabled = rule(1, std::nullopt);
    disabled.isEnabled = false;
    EXPECT_FALSE(disabled.matches("Mail", "Inbox"));
}

TEST(PlacementRule, LongTitlesMatchOrdinaryPatternsAndRunawayPatternsStop) {
    std::string prose;
    while (prose.size() < 10000) prose += "Lorem ipsum dolor sit amet 2026-12 ";
    const std::string inbox = prose + "- Inbox";
    const struct {
        const char* name;
        const char* pattern;
        std::string title;
        bool matches;
    } cases[] = {
        {"a greedy run before its end", "a+c", std::string(9999, 'a') + "c", true},
        {"anchored at the end", "inbox$", inbox, true},
        {"anchored at the start", "^lorem", inbox, true},
        {"a wildcard across the title", "dolor.*inbox", inbox, true},
        {"alternation repeated", "(sit|amet)+ \\d{4}", inbox, true},
        {"a digit run", "\\d{4}-\\d{2} - Inbox", inbox, true},
        {"absent from the title", "outbox", inbox, false},
        {"a huge title with a fixed word", "inbox$", std::string(60000, 'z') + " Inbox", true},
        {"a bad byte made the replacement character", "\xEF\xBF\xBD", std::string("bad \xFF byte"), true},
        {"runaway nested repetition", "(a+)+$", std::string(30000, 'a') + "!", false},
        {"runaway alternation", "(x|xx)*y", std::string(100000, 'x'), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rule(1, c.pattern).matches("Mail", c.title), c.matches) << c.name;
    }
    EXPECT_EQ(TitlePattern::takeTimedOutPatterns(), (std::vector<std::string>{"(a+)+$", "(x|xx)*y"}));
    // Told once: a second time-out of the same pattern is not told again.
    EXPECT_FALSE(rule(1, "(a+)+$").matches("Mail", std::string(30000, 'a') + "!"));
    EXPECT_TRUE(TitlePattern::takeTimedOutPatterns().empty());
}

TEST(PlacementRule, ValidatesPatternsUntrimmed) {
    for (const auto& [pattern, valid] : std::initializer_list<std::pair<const char*, bool>>{
             {"", true}, {" ", true}, {"^Inbox \\(\\d+\\)$", true}, {"(", false}, {"[a-", false}}) {
        EXPECT_EQ(PlacementRule::isValidPattern(pattern), valid) << pattern;
    }
}

TEST(RuleSet, FirstMatchFollowsTheListOrder) {
    RuleSet set;
    set.rules = {rule(1, "("), rule(2, "inbox"), rule(3, std::nullopt)};
    EXPECT_EQ(set.firstMatch("Mail", "Inbox")->id, idNumber(2));  // the broken pattern is passed over
    EXPECT_EQ(set.firstMatch("Mail", "Drafts")->id, idNumber(3));
    set.move({2}, 0);
    EXPECT_EQ(set.firstMatch("Mail", "Inbox")->id, idNumber(3));
    set.rules[0].isEnabled = false;
    EXPECT_EQ(set.firstMatch("Mail", "Inbox")->id, idNumber(2));
    EXPECT_FALSE(set.firstMatch("Notes", "Inbox").has_value());
}

TEST(RuleSet, MovesAsAListReorders) {
    const struct {
        std::set<std::size_t> from;
        std::size_t to;
        std::vector<int> expected;
    } cases[] = {
        {{0}, 3, {1, 2, 0, 3}},    {{3}, 0, {3, 0, 1, 2}},   {{0, 2}, 4, {1, 3, 0, 2}},
        {{1}, 1, {0, 1, 2, 3}},    {{1}, 2, {0, 1, 2, 3}},   {{0}, 99, {1, 2, 3, 0}},
        {{2, 9}, 0, {2, 0, 1, 3}},  // positions outside the list are ignored
        {{}, 2, {0, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        RuleSet set = fourRules();
        set.move(c.from, c.to);
        EXPECT_EQ(order(set), c.expected) << c.to;
    }
}

TEST(RuleSet, UpsertReplacesInPlaceAndDeleteLeavesATombstone) {
    RuleSet set = fourRules();
    set.upsert(rule(2, "Inbox"));
    set.upsert(rule(7, std::nullopt));
    EXPECT_EQ(order(set), (std::vector<int>{0, 1, 2, 3, 7}));
    EXPECT_EQ(set.rules[2].titlePattern, "Inbox");
    set.rules.push_back(rule(1, std::nullopt));  // a duplicate identifier goes too
    set.deleteRule(idNumber(1), Date(200));
    EXPECT_EQ(order(set), (std::vector<int>{0, 2, 3, 7}));
    EXPECT_EQ(set.deletedRules.at(idNumber(1).uuidString()), Date(200));
    set.upsert(rule(5, std::nullopt, "Mail", 900.5));  // changed on a machine whose clock runs ahead
    set.deleteRule(idNumber(5), Date(300));
    EXPECT_EQ(set.deletedRules.at(idNumber(5).uuidString()), Date(900.5));
}

TEST(RuleSet, DocumentForm) {
    RuleSet set;
    set.rules = {PlacementRule(idNumber(1), false, "Mail", "Inbox", "DISPLAY-1", {1, 2}, Date(763637213.589)),
                 rule(2, std::nullopt)};
    const json::Json doc = set.toJSON();
    EXPECT_EQ(doc.at("deletedRules"), json::Json::object());
    EXPECT_EQ(doc.at("rules")[0],
              json::parse(R"({"id": "00000000-0000-4000-8000-000000000001", "isEnabled": false, "bundleID": "Mail",
                 "titlePattern": "Inbox", "displayID": "DISPLAY-1", "zoneIndices": [1, 2],
                 "modifiedAt": "2025-03-14T09:26:53.589Z"})"));
    EXPECT_FALSE(doc.at("rules")[1].contains("titlePattern"));
    EXPECT_FALSE(doc.at("rules")[1].contains("displayID"));
    EXPECT_EQ(RuleSet::fromJSON(doc), set);

    const auto minimal = RuleSet::fromJSON(json::parse(R"({"version": 1, "rules": [{"id":
        "00000000-0000-4000-8000-000000000001", "isEnabled": true, "bundleID": "Mail", "titlePattern": null,
        "zoneIndices": [], "modifiedAt": "2025-03-14T09:26:53Z"}]})"));
    EXPECT_TRUE(minimal.deletedRules.empty());
    EXPECT_FALSE(minimal.rules[0].titlePattern.has_value());
    EXPECT_FALSE(minimal.rules[0].displayID.has_value());

    EXPECT_THROW(RuleSet::fromJSON(json::parse(R"({"version": 1, "rules": [{"id":
        "00000000-0000-4000-8000-000000000001", "bundleID": "Mail", "zoneIndices": [],
        "modifiedAt": "2025-03-14T09:26:53Z"}]})")),
                 json::DecodingError);
    EXPECT_THROW(RuleSet::fromJSON(json::parse(R"({"rules": []})")), json::DecodingError);
}

TEST(RuleSet, MergeKeepsLocalPriorityThenRemoteOnlyRules) {
    RuleSet local;
    local.version = 3;
    local.rules = {rule(1, "local", "Mail", 10), rule(2, std::nullopt, "Mail", 10)};
    local.deletedRules[idNumber(9).uuidString()] = Date(50);
    RuleSet remote;
    remote.version = 7;
    remote.rules = {rule(3, std::nullopt), rule(1, "remote", "Mail", 10), rule(2, "newer", "Mail", 11),
                    rule(9, std::nullopt, "Mail", 40)};
    remote.deletedRules[idNumber(3).uuidString()] = Date(20);  // older than rule 3: rule 3 survives

    const RuleSet merged = SyncMerge::mergeRules(local, remote);
    EXPECT_EQ(merged.version, 3);
    EXPECT_EQ(order(merged), (std::vector<int>{1, 2, 3}));
    // Equal times, different rules: the larger copy on either machine, here the remote one, in local's place.
    EXPECT_EQ(merged.rules[0].titlePattern, "remote");
    EXPECT_EQ(merged.rules[1].titlePattern, "newer");
    EXPECT_EQ(merged.deletedRules, (Tombstones{{idNumber(9).uuidString(), Date(50)}}));
}
