#include <gtest/gtest.h>

#include <QTest>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "Platform/Qt/QtScheduler.h"
#include "Tessary/integrations/FeedbackRequest.h"
#include "Tessary/integrations/ui/FeedbackClient.h"
#include "Tessary/integrations/ui/FeedbackMail.h"
#include "../QtApplication.h"
#include "LocalHTTPServer.h"

using namespace tessary;
using qttest::LocalHTTPServer;

namespace {

// The module the program opens, from the build tree.
const std::vector<std::filesystem::path> feedbackModule{TESSARY_FEEDBACK_MODULE};

FeedbackReport report(std::string message, std::string email = {}) {
    return {std::move(message), std::move(email), "0.1.0", "Debian GNU/Linux 12 (6.1.0-18-amd64)", "en",
            *Date::parsingISO8601("2025-03-04T12:34:56.789Z")};
}

struct Outcome {
    bool answered = false;
    std::optional<FeedbackError> error;
};

// Sends and runs the event loop until the client answers (or 10 s pass).
Outcome send(FeedbackClient& client, const FeedbackReport& report) {
    auto outcome = std::make_shared<Outcome>();
    client.send(report, [outcome](std::optional<FeedbackError> error) {
        outcome->answered = true;
        outcome->error = std::move(error);
    });
    (void)QTest::qWaitFor([&] { return outcome->answered; }, 10000);
    return *outcome;
}

}  // namespace

TEST(FeedbackClient, StatusesDecideSuccessOrRejection) {
    qttest::qtApplication();
    QtScheduler scheduler;
    struct Case {
        const char* name;
        int status;
        std::optional<FeedbackError> error;
    };
    const Case cases[] = {
        {"200 succeeds", 200, std::nullopt},
        {"201 succeeds", 201, std::nullopt},
        {"299 succeeds", 299, std::nullopt},
        {"300 is not followed", 300, FeedbackError::rejected(300)},
        {"400", 400, FeedbackError::rejected(400)},
        {"500", 500, FeedbackError::rejected(500)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHTTPServer server(c.status);
        FeedbackClient client(server.url(), scheduler, feedbackModule);
        const Outcome outcome = send(client, report("Hello"));
        ASSERT_TRUE(outcome.answered);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(server.requests().size(), 1u) << "no retry";
    }
}

TEST(FeedbackClient, PostsTheDocumentByteForByte) {
    qttest::qtApplication();
    QtScheduler scheduler;
    LocalHTTPServer server(201);
    FeedbackClient client(server.url(), scheduler, feedbackModule);
    const std::string head =
        R"j({"fields":{"appVersion":{"stringValue":"0.1.0"},"createdAt":{"timestampValue":"2025-03-04T12:34:56Z"},)j";
    const std::string tail = R"j("osVersion":{"stringValue":"Debian GNU/Linux 12 (6.1.0-18-amd64)"}}})j";
    struct Case {
        const char* name;
        FeedbackReport report;
        std::string body;
    };
    const Case cases[] = {
        {"without e-mail: trimmed, five fields", report("\n  Snapping works!\n\n", " \t "),
         head + R"j("language":{"stringValue":"en"},"message":{"stringValue":"Snapping works!"},)j" + tail},
        {"with e-mail, quotes and accents", report("Say \"hi\"\n\\ \xC3\xA9", " me@example.org\n"),
         head + R"j("email":{"stringValue":"me@example.org"},"language":{"stringValue":"en"},)j" +
             R"j("message":{"stringValue":"Say \"hi\"\n\\ )j" "\xC3\xA9" R"j("},)j" + tail},
        {"5000 characters sent as 4000", report(std::string(5000, 'a')),
         head + R"j("language":{"stringValue":"en"},"message":{"stringValue":")j" + std::string(4000, 'a') + "\"}," +
             tail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(send(client, c.report).error, std::nullopt);
        const auto& received = server.requests().back();
        EXPECT_EQ(received.body, c.body);
        EXPECT_TRUE(received.head.starts_with("POST /feedback HTTP/1.1\r\n")) << received.head;
        EXPECT_NE(received.head.find("\r\nContent-Type: application/json"), std::string::npos) << received.head;
    }
}

TEST(FeedbackClient, FailuresToReachTheServerAreNetworkErrors) {
    qttest::qtApplication();
    QtScheduler scheduler;

    std::string closedPort;
    {
        LocalHTTPServer gone(200);
        closedPort = gone.url();
    }
    LocalHTTPServer silent(std::nullopt);

    struct Case {
        const char* name;
        std::string endpoint;
        bool reachesServer;
    };
    const Case cases[] = {
        {"closed port", closedPort, false},
        {"server that never answers", silent.url(), true},
        {"no endpoint configured", "", false},
        {"not HTTPS", "http://db.example/feedback", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FeedbackClient client(c.endpoint, scheduler, feedbackModule);
        client.setTimeout(std::chrono::milliseconds(300));
        const std::size_t before = silent.requests().size();
        const Outcome outcome = send(client, report("Hello"));
        ASSERT_TRUE(outcome.answered);
        ASSERT_TRUE(outcome.error.has_value());
        EXPECT_EQ(outcome.error->kind, FeedbackError::Kind::network);
        EXPECT_FALSE(outcome.error->description.empty());
        EXPECT_EQ(silent.requests().size() - before, c.reachesServer ? 1u : 0u);
    }
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "no time-out left behind";
}

TEST(FeedbackClient, AModuleThatCannotBeOpenedFailsTheReportAndTheNextOneTriesAgain) {
    qttest::qtApplication();
    QtScheduler scheduler;
    LocalHTTPServer server(200);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("feedback-module-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "not-a-library.so") << "text";
    struct Case {
        const char* name;
        std::vector<std::filesystem::path> locations;
    };
    const Case cases[] = {
        {"no module where it is looked for", {folder / "missing.so"}},
        {"a file that is no library", {folder / "not-a-library.so"}},
        {"a folder of that name", {folder}},
        {"nowhere to look", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FeedbackClient client(server.url(), scheduler, c.locations);
        const Outcome outcome = send(client, report("Hello"));
        ASSERT_TRUE(outcome.answered);
        ASSERT_TRUE(outcome.error.has_value());
        EXPECT_EQ(outcome.error->kind, FeedbackError::Kind::network);
        EXPECT_NE(outcome.error->description.find("feedback module"), std::string::npos) << outcome.error->description;
    }
    EXPECT_TRUE(server.requests().empty());

    // The module found after a failure (the second location) is used for the next report.
    std::vector<std::filesystem::path> locations{folder / "missing.so"};
    FeedbackClient client(server.url(), scheduler, locations);
    ASSERT_TRUE(send(client, report("Hello")).error.has_value());
    std::filesystem::copy_file(feedbackModule.front(), folder / "missing.so");
    EXPECT_EQ(send(client, report("Hello")).error, std::nullopt);
    EXPECT_EQ(server.requests().size(), 1u);
    std::filesystem::remove_all(folder);
}

TEST(FeedbackMail, UserTextReachesTheMailBodyUnchanged) {
    qttest::qtApplication();
    const std::string message = " a&b=c?d#e%f+g\r\nzweite Zeile \xC3\xA4\xE2\x82\xAC \xF0\x9F\x98\x80 %41 \n";
    const QUrl url = feedbackMailURL(message, "support@tessary.example", {"0.1.0", "Debian 12 (6.1)", "en"});
    const std::string encoded = url.toEncoded().toStdString();

    ASSERT_TRUE(encoded.starts_with("mailto:support@tessary.example?subject=")) << encoded;
    const std::string query = encoded.substr(encoded.find('?') + 1);
    EXPECT_EQ(query.find('#'), std::string::npos) << "nothing ends the URL early";
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string::npos) end = query.size();
        const std::string pair = query.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        fields[pair.substr(0, equals)] =
            QByteArray::fromPercentEncoding(QByteArray::fromStdString(pair.substr(equals + 1))).toStdString();
        start = end + 1;
    }
    ASSERT_EQ(fields.size(), 2u) << encoded;
    EXPECT_EQ(fields["subject"], "Tessary feedback");
    EXPECT_EQ(fields["body"], message + "\n\n\n\xE2\x80\x94\nTessary 0.1.0\nDebian 12 (6.1)\n");
}
