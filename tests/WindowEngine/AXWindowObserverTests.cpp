#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "WindowEngine/AXWindowObserver.h"

using namespace tessary;
using namespace std::chrono_literals;

namespace {

RunningApplication app(ProcessID pid, ActivationPolicy policy = ActivationPolicy::regular) {
    return {pid, "org.example.App" + std::to_string(pid), "App", policy, false};
}

// Attempts to register with the process so far.
std::size_t attemptsIn(const SimAccessibility& ax, ProcessID pid) {
    std::size_t count = 0;
    for (const AXRequest& request : ax.requests()) {
        count += request.kind == AXRequest::Kind::addNotification && request.pid == pid;
    }
    return count;
}

class AXWindowObserverTest : public ::testing::Test {
protected:
    AXWindowObserverTest() {
        observer->onWindowCreated = [this](const WindowHandle& window) { created.push_back(window); };
    }

    std::size_t attempts(ProcessID pid) const { return attemptsIn(ax, pid); }

    SimAccessibility ax;
    SimApplicationWorkspace workspace;
    VirtualScheduler scheduler;
    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    std::unique_ptr<AXWindowObserver> observer = std::make_unique<AXWindowObserver>(ax, workspace, scheduler);
    std::vector<WindowHandle> created;
};

}  // namespace

TEST_F(AXWindowObserverTest, ObservesRegularApplicationsAndFollowsLaunchesAndTerminations) {
    for (ProcessID pid : {1, 2, 3}) workspace.addApplication(app(pid));
    workspace.addApplication(app(4, ActivationPolicy::accessory));
    workspace.addApplication(app(5, ActivationPolicy::prohibited));
    observer->start();
    EXPECT_EQ(observer->observers().size(), 3u);
    EXPECT_FALSE(observer->observers().contains(4));

    workspace.launch(app(6));
    workspace.launch(app(7, ActivationPolicy::accessory));
    EXPECT_TRUE(observer->observers().contains(6));
    EXPECT_FALSE(observer->observers().contains(7));

    // Observing again changes nothing.
    const std::size_t before = ax.requests().size();
    observer->observe(6);
    EXPECT_EQ(ax.requests().size(), before);

    workspace.terminate(2);
    EXPECT_FALSE(observer->observers().contains(2));
    EXPECT_EQ(ax.activeObserverCount(2), 0u);
    EXPECT_EQ(ax.observerCount(), 3u);
}

TEST_F(AXWindowObserverTest, HandsOnEachCreatedWindowWithTheProcessOfItsElement) {
    workspace.addApplication(app(1));
    observer->start();
    const AXElement window = ax.addWindow(1, Rect(0, 0, 10, 10));
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0], WindowHandle(1, window));
    EXPECT_EQ(created[0].pid, 1);

    // Other notifications, and elements whose process cannot be read, are dropped.
    ax.postNotification(1, window, "AXUIElementDestroyed");
    ax.postNotification(1, AXElement{AXElementKind::window, 1, 0xdead, 0}, ax::windowCreatedNotification);
    EXPECT_EQ(created.size(), 1u);
}

TEST_F(AXWindowObserverTest, RetriesRefusalsThatMeanNotNowAtMostFiveTimesASecondApart) {
    struct Case {
        const char* name;
        std::vector<AXError> answers;
        std::size_t attemptsAfterTenSeconds;
        bool observed;
        int retries;
        std::chrono::seconds observedAfter;
    };
    const Case cases[] = {
        {"cannot complete twice", {AXError::cannotComplete, AXError::cannotComplete}, 3, true, 2, 2s},
        {"notification unsupported once", {AXError::notificationUnsupported}, 2, true, 1, 1s},
        {"always disabled", std::vector<AXError>(20, AXError::apiDisabled), 6, false, 5, 0s},
        {"five refusals, then accepted", std::vector<AXError>(5, AXError::cannotComplete), 6, true, 5, 5s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimAccessibility world;
        VirtualScheduler clock;
        AXWindowObserver subject(world, workspace, clock);
        world.scriptAddNotificationResults(9, c.answers);
        subject.observe(9);

        if (c.observed) {
            clock.advance(c.observedAfter - 1ms);
            EXPECT_FALSE(subject.observers().contains(9));
            clock.advance(1ms);
            EXPECT_TRUE(subject.observers().contains(9));
        }
        clock.advance(10s);
        EXPECT_EQ(attemptsIn(world, 9), c.attemptsAfterTenSeconds);
        EXPECT_EQ(subject.observers().contains(9), c.observed);
        // The count stays after a success until the process quits.
        EXPECT_EQ(subject.pendingRetries().at(9), c.retries);
        EXPECT_EQ(clock.pendingCount(), 0u);
        // Refused observers are not left behind.
        EXPECT_EQ(world.observerCount(), c.observed ? 1u : 0u);
    }
    EXPECT_TRUE(sink.records().empty());
}

TEST_F(AXWindowObserverTest, AProcessGivenUpStillGetsOneAttemptWhenAskedAgain) {
    ax.scriptAddNotificationResults(9, std::vector<AXError>(6, AXError::apiDisabled));
    observer->observe(9);
    scheduler.advance(10s);
    EXPECT_EQ(attempts(9), 6u);
    observer->observe(9);
    EXPECT_EQ(attempts(9), 7u);
    EXPECT_TRUE(observer->observers().contains(9));
}

TEST_F(AXWindowObserverTest, OtherRefusalsAreLoggedOnceAndNotRetried) {
    ax.scriptAddNotificationResults(9, {AXError::failure});
    observer->observe(9);
    scheduler.advance(10s);
    EXPECT_EQ(attempts(9), 1u);
    EXPECT_EQ(sink.messages("AXWindowObserver"), std::vector<std::string>{"cannot observe pid 9: AXError -25200"});
    EXPECT_FALSE(observer->observers().contains(9));

    // A failure to create the observer is silent.
    ax.setCreateObserverError(10, AXError::failure);
    observer->observe(10);
    EXPECT_EQ(sink.records().size(), 1u);
}

TEST_F(AXWindowObserverTest, AWaitingRetryEndsWhenTheApplicationQuitsAndNeverTouchesAReusedProcessNumber) {
    workspace.addApplication(app(9));
    observer->start();
    // Refused at launch.
    workspace.terminate(9);
    ax.scriptAddNotificationResults(11, {AXError::cannotComplete});
    workspace.launch(app(11));
    workspace.terminate(11);
    scheduler.advance(5s);
    EXPECT_EQ(attempts(11), 1u);  // no retry after the application quit
    EXPECT_FALSE(observer->pendingRetries().contains(11));

    // The number comes back for another application, which is refused once: exactly one chain of
    // retries runs for it, a second apart.
    ax.scriptAddNotificationResults(11, {AXError::cannotComplete, AXError::cannotComplete});
    workspace.launch(app(11));
    scheduler.advance(500ms);
    workspace.terminate(11);
    ax.scriptAddNotificationResults(11, {AXError::cannotComplete});
    workspace.launch(app(11));
    EXPECT_EQ(attempts(11), 3u);
    scheduler.advance(1s);
    EXPECT_EQ(attempts(11), 4u);
    EXPECT_TRUE(observer->observers().contains(11));
    EXPECT_EQ(observer->pendingRetries().at(11), 1);
    scheduler.advance(10s);
    EXPECT_EQ(attempts(11), 4u);
}

TEST_F(AXWindowObserverTest, StoppingAndDestroyingLeaveNoRegistrationsOrRetriesBehind) {
    workspace.addApplication(app(1));
    workspace.addApplication(app(2));
    ax.scriptAddNotificationResults(2, {AXError::cannotComplete});
    observer->start();
    observer->stop();
    EXPECT_EQ(ax.observerCount(), 0u);
    workspace.launch(app(3));
    EXPECT_FALSE(observer->observers().contains(3));

    // The retry for 2 is still waiting: destroying the observer cancels it.
    observer.reset();
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    scheduler.advance(5s);
    EXPECT_EQ(attempts(2), 1u);
}
