#include <gtest/gtest.h>

#include "Tessary/integrations/FeedbackModel.h"
#include "Tessary/integrations/FeedbackRequest.h"
#include "TessaryCore/UserText.h"

using namespace tessary;

namespace {

FeedbackReport report(std::string message, std::string email) {
    return {std::move(message), std::move(email), "0.1.0 (27)", "Debian GNU/Linux 12 (6.1.0-18-amd64)", "de",
            *Date::parsingISO8601("2025-03-04T12:34:56.789Z")};
}

const std::string endpoint = "https://db.example/v1/projects/tessary-app/databases/(default)/documents/feedback";

std::string repeated(std::string_view piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += piece;
    return text;
}

// A sender whose answers the test gives.
class ManualSender final : public FeedbackSender {
public:
    void send(const FeedbackReport& report, std::function<void(std::optional<FeedbackError>)> done) override {
        reports.push_back(report);
        pending = std::move(done);
    }
    std::vector<FeedbackReport> reports;
    std::function<void(std::optional<FeedbackError>)> pending;
};

}  // namespace

TEST(FeedbackRequest, TextsAreCutInUserPerceivedCharacters) {
    const std::string combining = "e\xCC\x81";  // "e" and a combining acute: one character, three bytes
    const std::string flag = "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA";  // a flag: one character, two code points
    struct Case {
        const char* name;
        std::string text;
        std::size_t limit;
        std::string expected;
    };
    const Case cases[] = {
        {"5000 letters keep 4000", repeated("a", 5000), 4000, repeated("a", 4000)},
        {"4000 combining sequences are 4000 characters", repeated(combining, 4000), 4000, repeated(combining, 4000)},
        {"a cut never splits a sequence", repeated(combining, 4001), 4000, repeated(combining, 4000)},
        {"flags count once", repeated(flag, 300), 254, repeated(flag, 254)},
        {"short text unchanged", "abc", 4000, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(prefixOfGraphemes(c.text, c.limit), c.expected);
    }
    // And in the body, after trimming.
    const auto body = makeFeedbackRequest(report("\n" + repeated(combining, 4001), repeated("m", 300)), endpoint).body;
    EXPECT_NE(body.find("\"" + repeated(combining, 4000) + "\""), std::string::npos);
    EXPECT_EQ(body.find(repeated(combining, 4001)), std::string::npos);
    EXPECT_NE(body.find("\"" + repeated("m", 254) + "\""), std::string::npos);
    EXPECT_EQ(body.find(repeated("m", 255)), std::string::npos);
}

TEST(FeedbackRequest, OnlyHTTPSEndpointsAreUsed) {
    struct Case {
        const char* name;
        std::string endpoint;
        bool allowed;
    };
    const Case cases[] = {
        {"not configured", feedbackEndpoint(""), false},
        {"the configured host over HTTPS", feedbackEndpoint("db.example"), true},
        {"plain HTTP", "http://db.example/feedback", false},
        {"another scheme", "ftp://db.example/feedback", false},
        {"no host", "https:///feedback", false},
        {"HTTP to the loopback address", "http://127.0.0.1:8080/feedback", true},
        {"HTTP to localhost", "http://localhost:8080/feedback", true},
        {"loopback look-alike host", "http://127.0.0.1.evil.example/feedback", false},
        {"loopback only as user name", "http://127.0.0.1@evil.example/feedback", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto refused = checkFeedbackEndpoint(c.endpoint);
        EXPECT_EQ(!refused.has_value(), c.allowed);
        if (refused) {
            EXPECT_EQ(refused->kind, FeedbackError::Kind::network);
            EXPECT_FALSE(refused->description.empty());
        }
    }
    EXPECT_EQ(configuredFeedbackEndpoint(), "") << "an empty build option by default";
}

TEST(FeedbackModel, SendsOnlyANonBlankMessageOnceAtATime) {
    ManualSender sender;
    FeedbackModel model(sender, {"0.1.0", "Debian GNU/Linux 12 (6.1)", "en"}, [] { return Date(100); });
    int changes = 0;
    Subscription watch = model.observe([&] { ++changes; });

    model.setMessage(" \n\t ");
    EXPECT_FALSE(model.canSend());
    model.send();
    EXPECT_TRUE(sender.reports.empty());

    model.setMessage("  Hello  ");
    model.setEmail("me@example.org");
    EXPECT_TRUE(model.canSend());
    model.send();
    EXPECT_EQ(model.phase(), FeedbackModel::Phase::sending);
    EXPECT_FALSE(model.canSend());
    model.send();
    ASSERT_EQ(sender.reports.size(), 1u) << "no second send while one runs";
    EXPECT_EQ(sender.reports[0], (FeedbackReport{"  Hello  ", "me@example.org", "0.1.0", "Debian GNU/Linux 12 (6.1)",
                                                 "en", Date(100)}));

    sender.pending(FeedbackError::rejected(500));
    EXPECT_EQ(model.phase(), FeedbackModel::Phase::failed);
    model.setMessage("Hello again");
    EXPECT_EQ(model.phase(), FeedbackModel::Phase::failed) << "editing does not leave the failure";
    model.send();
    EXPECT_EQ(sender.reports.back().message, "Hello again");
    sender.pending(std::nullopt);
    EXPECT_EQ(model.phase(), FeedbackModel::Phase::sent);
    EXPECT_EQ(changes, 8);

    model.setMessage(repeated("x", 5000));
    EXPECT_EQ(model.message(), repeated("x", 4000));
    EXPECT_EQ(model.caption(), "Sent with your message: Tessary 0.1.0 \xC2\xB7 Debian GNU/Linux 12 (6.1)");
}

TEST(FeedbackModel, AnAnswerAfterTheModelIsGoneIsDropped) {
    ManualSender sender;
    auto model = std::make_unique<FeedbackModel>(sender, FeedbackFacts{"0.1.0", "Linux", "en"});
    model->setMessage("x");
    model->send();
    model.reset();
    sender.pending(std::nullopt);  // must not touch the destroyed model (ASan would say so)
}
