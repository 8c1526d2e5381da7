#include <gtest/gtest.h>

#include "Platform/Sim/MemoryUserDefaults.h"
#include "Tessary/shell/ReviewPrompt.h"

using namespace tessary;

namespace {

constexpr double day = 86400;
constexpr double start = 1'700'000'000;

struct Prompt {
    MemoryUserDefaults defaults;
    double now = start;
    ReviewPrompt prompt{defaults, [this] { return now; }};

    void snap(int times) {
        for (int i = 0; i < times; ++i) prompt.recordSnap();
    }
    std::int64_t count() const { return defaults.integerValue(ReviewPrompt::snapCountKey).value_or(0); }
};

}  // namespace

TEST(ReviewPrompt, CountingAndTheOfferWindow) {
    struct Row {
        const char* name;
        int snaps;
        double firstAsk;  // seconds after the first run
        std::vector<std::pair<double, bool>> laterAsks;  // seconds after the first ask, answer
        bool firstAnswer;
        bool finished;
    };
    const std::vector<Row> rows{
        {"29 snaps never offer", 29, 30 * day, {}, false, false},
        {"30 snaps but only 13 days", 30, 13 * day, {}, false, false},
        {"30 snaps and exactly 14 days", 30, 14 * day, {}, true, false},
        {"the window is open for exactly 7 days", 30, 14 * day, {{7 * day, true}}, true, false},
        {"a second past 7 days finishes for good", 30, 14 * day, {{7 * day + 1, false}, {7 * day, false}}, true, true},
    };
    for (const Row& row : rows) {
        Prompt p;
        p.snap(row.snaps);
        p.now = start + row.firstAsk;
        EXPECT_EQ(p.prompt.shouldOffer(), row.firstAnswer) << row.name;
        EXPECT_EQ(p.defaults.contains(ReviewPrompt::offeredAtKey), row.firstAnswer) << row.name << ": offer time";
        const double offeredAt = p.now;
        for (auto [after, answer] : row.laterAsks) {
            p.now = offeredAt + after;
            EXPECT_EQ(p.prompt.shouldOffer(), answer) << row.name << " at +" << after;
        }
        EXPECT_EQ(p.defaults.boolValue(ReviewPrompt::finishedKey).value_or(false), row.finished) << row.name;
    }
}

TEST(ReviewPrompt, TheCountStopsAtThirtyAndAfterTheAlert) {
    Prompt p;
    p.snap(29);
    EXPECT_EQ(p.count(), 29);
    p.snap(5);
    EXPECT_EQ(p.count(), 30);

    Prompt q;
    q.snap(3);
    std::vector<std::string> calls;
    q.prompt.present({[] { return ReviewPrompt::Answer::sendFeedback; },
                      [&] {
                          calls.push_back("review page");
                          return true;
                      },
                      [&] { calls.push_back("feedback"); }});
    EXPECT_EQ(calls, (std::vector<std::string>{"feedback"}));
    q.snap(40);
    EXPECT_EQ(q.count(), 3) << "no counting once finished";
    q.now += 365 * day;
    EXPECT_FALSE(q.prompt.shouldOffer());
}

TEST(ReviewPrompt, FirstRunTimeIsWrittenOnceAndReadAsGiven) {
    MemoryUserDefaults defaults;
    defaults.set(ReviewPrompt::firstSeenKey, std::string("not a number"));
    ReviewPrompt kept(defaults, [] { return start; });
    EXPECT_EQ(defaults.stringValue(ReviewPrompt::firstSeenKey), "not a number") << "a value of another type stays";

    Prompt missing;  // deleted by hand after the first run: the 14 days pass at once
    missing.defaults.remove(ReviewPrompt::firstSeenKey);
    missing.snap(30);
    EXPECT_TRUE(missing.prompt.shouldOffer());

    Prompt future;
    future.defaults.set(ReviewPrompt::firstSeenKey, start + 100 * day);
    future.snap(30);
    future.now = start + 30 * day;
    EXPECT_FALSE(future.prompt.shouldOffer());
}

TEST(ReviewPrompt, EveryAnswerFinishesThePromptButAReviewPageThatDidNotOpen) {
    using Answer = ReviewPrompt::Answer;
    struct Row {
        const char* name;
        Answer answer;
        bool pageOpens;
        std::vector<std::string> calls;
        bool finished;
    };
    const std::vector<Row> rows{
        {"a review whose page opens", Answer::writeReview, true, {"review page"}, true},
        {"a review with no page to open", Answer::writeReview, false, {"review page"}, false},
        {"feedback", Answer::sendFeedback, false, {"feedback"}, true},
        {"not now", Answer::notNow, false, {}, true},
    };
    for (const Row& row : rows) {
        Prompt p;
        p.snap(30);
        p.now = start + 14 * day;
        std::vector<std::string> calls;
        p.prompt.present({[&] { return row.answer; },
                          [&] {
                              calls.push_back("review page");
                              return row.pageOpens;
                          },
                          [&] { calls.push_back("feedback"); }});
        EXPECT_EQ(calls, row.calls) << row.name;
        EXPECT_EQ(p.defaults.boolValue(ReviewPrompt::finishedKey).value_or(false), row.finished) << row.name;
        EXPECT_EQ(p.prompt.shouldOffer(), !row.finished) << row.name << ": the menu still offers it";
    }
}
