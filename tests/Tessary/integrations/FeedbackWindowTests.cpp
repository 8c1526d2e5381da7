#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "Platform/Qt/QtScheduler.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Tessary/integrations/FeedbackRequest.h"
#include "Tessary/integrations/ui/FeedbackMail.h"
#include "Tessary/integrations/ui/FeedbackView.h"
#include "Tessary/integrations/ui/FeedbackWindowController.h"
#include "../QtApplication.h"

using namespace tessary;

namespace {

// A sender whose answers the test gives; it stays alive with its window (the window owns it).
class ManualSender final : public FeedbackSender {
public:
    struct Log {
        std::vector<FeedbackReport> reports;
        std::function<void(std::optional<FeedbackError>)> pending;
    };
    explicit ManualSender(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    void send(const FeedbackReport& report, std::function<void(std::optional<FeedbackError>)> done) override {
        log_->reports.push_back(report);
        log_->pending = std::move(done);
    }

private:
    std::shared_ptr<Log> log_;
};

struct Window {
    std::shared_ptr<ManualSender::Log> log = std::make_shared<ManualSender::Log>();
    std::vector<QUrl> opened;
    bool mailProgram = true;
    std::string address = "support@tessary.example";
    std::string unavailable;

    std::unique_ptr<FeedbackWindowController> make() {
        return std::make_unique<FeedbackWindowController>(
            std::make_unique<ManualSender>(log), FeedbackFacts{"0.1.0", "Debian GNU/Linux 12 (6.1.0-18-amd64)", "en"},
            [this](const QUrl& url, std::function<void(bool)> done) {
                opened.push_back(url);
                done(mailProgram);
            },
            address, unavailable);
    }
};

template <typename T>
T* child(FeedbackWindowController& controller, const char* name) {
    return controller.window()->findChild<T*>(QString::fromLatin1(name));
}

// What the user can see and press, as one line: "send on, progress, failure, mail, thanks".
std::string visibleState(FeedbackWindowController& c) {
    std::string state = child<QPushButton>(c, "send")->isEnabled() ? "send on" : "send off";
    if (child<QProgressBar>(c, "progress")->isVisible()) state += ", progress";
    if (child<QLabel>(c, "failure")->isVisible()) state += ", failure";
    if (child<QLabel>(c, "unavailable")->isVisible()) state += ", unavailable";
    if (child<QPushButton>(c, "sendByEmail")->isVisible()) state += ", mail";
    if (child<QWidget>(c, "thanks")->isVisible()) state = "thanks";
    return state;
}

void screenshot(FeedbackWindowController& controller, const std::string& name) {
    qttest::screenshot(*controller.window(), "integrations-screens", "feedback-" + QString::fromStdString(name).replace(u' ', u'-'));
}

void type(FeedbackWindowController& controller, const QString& text) {
    child<QPlainTextEdit>(controller, "message")->insertPlainText(text);
}

}  // namespace

TEST(FeedbackWindow, ShowsWhatEachPhaseAllows) {
    qttest::qtApplication();
    Window world;
    auto controller = world.make();
    controller->show();
    auto* message = child<QPlainTextEdit>(*controller, "message");
    EXPECT_EQ(child<QLabel>(*controller, "caption")->text(),
              "Sent with your message: Tessary 0.1.0 \u00B7 Debian GNU/Linux 12 (6.1.0-18-amd64)");

    struct Step {
        const char* name;
        std::function<void()> act;
        std::string state;
    };
    const Step steps[] = {
        {"empty", [] {}, "send off"},
        {"blank", [&] { type(*controller, " \n\t\n "); }, "send off"},
        {"written", [&] { type(*controller, "Snapping works."); }, "send on"},
        {"sending", [&] { child<QPushButton>(*controller, "send")->click(); }, "send off, progress"},
        {"failed", [&] { world.log->pending(FeedbackError::network("offline")); }, "send on, failure, mail"},
        {"edited after failing", [&] { type(*controller, " More."); }, "send on, failure, mail"},
        {"sending again", [&] { child<QPushButton>(*controller, "send")->click(); }, "send off, progress"},
        {"sent", [&] { world.log->pending(std::nullopt); }, "thanks"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(visibleState(*controller), step.state);
        screenshot(*controller, step.name);
    }
    ASSERT_EQ(world.log->reports.size(), 2u);
    EXPECT_EQ(world.log->reports[1].message, " \n\t\n Snapping works. More.") << "retried with the current text";
    (void)message;
}

TEST(FeedbackWindow, PastedTextIsCutTo4000CharactersAndTheEditorHasTheFocus) {
    qttest::qtApplication();
    Window world;
    auto controller = world.make();
    controller->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(controller->window()));
    auto* message = child<QPlainTextEdit>(*controller, "message");
    EXPECT_TRUE(message->hasFocus());

    QApplication::clipboard()->setText(QString(5000, QLatin1Char('x')));
    message->paste();
    EXPECT_EQ(message->toPlainText(), QString(4000, QLatin1Char('x')));
    EXPECT_EQ(controller->model().message(), std::string(4000, 'x'));
}

TEST(FeedbackWindow, SendFeedbackReusesOnlyAWindowThatHoldsSomething) {
    qttest::qtApplication();
    using Phase = FeedbackModel::Phase;
    struct Case {
        const char* name;
        bool closed;
        std::optional<Phase> reached;  // nothing: left editing
        bool reused;
    };
    const Case cases[] = {
        {"visible form", false, std::nullopt, true},
        {"closed form", true, std::nullopt, false},
        {"closed while sending", true, Phase::sending, true},
        {"closed after failing", true, Phase::failed, true},
        {"closed after sending", true, Phase::sent, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Window world;
        FeedbackWindows windows([&] { return world.make(); });
        windows.present();
        FeedbackWindowController* first = windows.current();
        type(*first, "Draft");
        if (c.reached) {
            child<QPushButton>(*first, "send")->click();
            if (*c.reached == Phase::failed) world.log->pending(FeedbackError::rejected(500));
            if (*c.reached == Phase::sent) world.log->pending(std::nullopt);
        }
        if (c.closed) first->window()->close();

        windows.present();
        EXPECT_EQ(windows.current() == first, c.reused);
        EXPECT_TRUE(windows.current()->isVisible());
        EXPECT_EQ(windows.current()->model().message(), c.reused ? "Draft" : "");
    }
}

TEST(FeedbackWindow, AFailureAfterClosingShowsTheTextAgain) {
    qttest::qtApplication();
    Window world;
    FeedbackWindows windows([&] { return world.make(); });
    windows.present();
    FeedbackWindowController* controller = windows.current();
    type(*controller, "Please keep this.");
    child<QPushButton>(*controller, "send")->click();
    child<QPushButton>(*controller, "cancel")->click();
    EXPECT_FALSE(controller->isVisible()) << "Cancel closes the window while sending";

    world.log->pending(FeedbackError::network("offline"));
    EXPECT_TRUE(controller->isVisible());
    EXPECT_EQ(child<QPlainTextEdit>(*controller, "message")->toPlainText(), "Please keep this.");
    EXPECT_EQ(visibleState(*controller), "send on, failure, mail");
    // The window grew for the sentence instead of squeezing the editor over the e-mail field.
    const auto top = [&](QWidget* w) { return w->mapTo(controller->window(), QPoint(0, 0)).y(); };
    auto* message = child<QPlainTextEdit>(*controller, "message");
    EXPECT_LE(top(message) + message->height(), top(child<QWidget>(*controller, "email")));
    EXPECT_EQ(message->height(), 150);
    screenshot(*controller, "failed-after-closing");
}

TEST(FeedbackWindow, SendByEmailOpensTheMailProgramOrOffersTheAddress) {
    qttest::qtApplication();
    struct Case {
        const char* name;
        bool mailProgram;
        const char* answer;  // the alert's button pressed, if an alert comes
        QString clipboard;
    };
    const Case cases[] = {
        {"a mail program takes it", true, nullptr, "untouched"},
        {"no mail program, address copied", false, "Copy Address", "support@tessary.example"},
        {"no mail program, cancelled", false, "Cancel", "untouched"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::clipboard()->setText("untouched");
        Window world;
        world.mailProgram = c.mailProgram;
        auto controller = world.make();
        controller->show();
        type(*controller, "Hi & bye");
        child<QPushButton>(*controller, "send")->click();
        world.log->pending(FeedbackError::rejected(400));

        QString alertText;
        if (c.answer) {
            QTimer::singleShot(0, [&] {
                auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!alert) return;
                alertText = alert->informativeText();
                for (auto* button : alert->buttons()) {
                    if (button->text() == c.answer) button->click();
                }
            });
        }
        child<QPushButton>(*controller, "sendByEmail")->click();
        ASSERT_EQ(world.opened.size(), 1u);
        EXPECT_TRUE(world.opened[0].toString().startsWith("mailto:support@tessary.example?subject="));
        if (c.answer) {
            EXPECT_EQ(alertText, "No mail app is set up on this computer. Write to support@tessary.example from "
                                 "wherever you read your email.");
        }
        EXPECT_EQ(QApplication::clipboard()->text(), c.clipboard);
    }
}

// A build without a feedback server never tries to send: Send is off and the form says why; the
// mail route shows only with an address to write to, and no sentence offers it without one.
TEST(FeedbackWindow, WhatTheFormOffersFollowsWhatTheBuildHas) {
    qttest::qtApplication();
    struct Row {
        const char* name;
        std::string unavailable;
        std::string address;
        bool fails;
        std::string state;
        QString sentence;  // of the failure or of the reason, whichever shows
    };
    const Row rows[] = {
        {"no server, an address", "This build has no feedback server to send to.", "support@tessary.example", false,
         "send off, unavailable, mail", "This build has no feedback server to send to. Send it by email instead."},
        {"no server, no address", "This build has no feedback server to send to.", "", false, "send off, unavailable",
         "This build has no feedback server to send to."},
        {"a server, no address, failed", "", "", true, "send on, failure",
         "Your feedback could not be sent. Check your internet connection and try again."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingLogSink sink;
        ScopedLogSink scoped(sink);
        Window world;
        world.unavailable = row.unavailable;
        world.address = row.address;
        auto controller = world.make();
        controller->show();
        type(*controller, "Hello");
        child<QPushButton>(*controller, "send")->click();
        if (row.fails) {
            ASSERT_TRUE(world.log->pending);
            world.log->pending(FeedbackError::rejected(400));
            EXPECT_EQ(sink.messages("Feedback"), std::vector<std::string>{"Feedback not sent: the server answered with status 400"});
        } else {
            EXPECT_TRUE(world.log->reports.empty()) << "nothing was sent";
        }
        EXPECT_EQ(visibleState(*controller), row.state);
        EXPECT_EQ(child<QLabel>(*controller, row.fails ? "failure" : "unavailable")->text(), row.sentence);
        screenshot(*controller, row.name);
    }
}

TEST(FeedbackWindow, ThisBuildsFormSaysItHasNoServerAndLogsIt) {
    qttest::qtApplication();
    if (!configuredFeedbackEndpoint().empty()) GTEST_SKIP() << "this build has a feedback server";
    RecordingLogSink sink;
    ScopedLogSink scoped(sink);
    QtScheduler scheduler;
    auto controller = FeedbackWindowController::make(scheduler);
    controller->show();
    type(*controller, "Hello");
    child<QPushButton>(*controller, "send")->click();
    EXPECT_EQ(controller->model().phase(), FeedbackModel::Phase::editing);
    EXPECT_EQ(visibleState(*controller), supportEmailAddress().empty() ? "send off, unavailable" : "send off, unavailable, mail");
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "no request was started";
    EXPECT_EQ(sink.messages("Feedback"),
              std::vector<std::string>{"Feedback cannot be sent from this build: Feedback is not set up in this build (no "
                                       "feedback server configured)"});
}

// The mail program is reached through xdg-open, whose exit status says whether one took the URL
// (3: none for mailto). A stand-in on PATH answers for the desktop.
TEST(FeedbackMail, XdgOpensExitStatusSaysWhetherAMailProgramTookIt) {
    qttest::qtApplication();
    struct Row {
        const char* name;
        std::optional<int> exitStatus;  // nothing: no xdg-open at all
        bool opened;
    };
    const Row rows[] = {{"a mail program", 0, true}, {"no mail program", 3, false}, {"no xdg-open", std::nullopt, false}};
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto bin = std::filesystem::temp_directory_path() / ("tessary-xdg-open-" + std::to_string(::getpid()));
        std::filesystem::create_directories(bin);
        const auto argumentFile = bin / "argument";
        if (row.exitStatus) {
            std::ofstream(bin / "xdg-open") << "#!/bin/sh\nprintf %s \"$1\" > '" << argumentFile.string() << "'\nexit "
                                            << *row.exitStatus << "\n";
            std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
        }
        ::setenv("PATH", bin.c_str(), 1);
        std::optional<bool> answer;
        const QUrl url = feedbackMailURL("Hi", "support@tessary.example", {"0.1.0", "Debian 12 (6.1)", "en"});
        desktopMailOpener()(url, [&](bool opened) { answer = opened; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000));
        ::setenv("PATH", savedPath.c_str(), 1);
        EXPECT_EQ(answer, row.opened);
        if (row.exitStatus) {
            std::ifstream file(argumentFile);
            std::string argument((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            EXPECT_EQ(argument, url.toString(QUrl::FullyEncoded).toStdString());
            EXPECT_TRUE(argument.starts_with("mailto:support@tessary.example?")) << argument;
        }
        std::filesystem::remove_all(bin);
    }
}
