// Which managed windows exist, in which order, and which changes of the client list are real
// creations and destructions: the rules of the client roster without an X server.

#include "Platform/X11/X11ClientOrder.h"
#include "Platform/X11/X11ClientRoster.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <variant>
#include <vector>

namespace tessary {
namespace {

using Windows = std::vector<xcb_window_t>;

TEST(X11ClientOrder, TheClientListSaysWhichWindowsAndStackingOnlyOrdersThem) {
    struct Case {
        const char* name;
        Windows clientList;
        Windows stacking;  // bottom to top
        Windows frontToBack;
    };
    const Case cases[] = {
        {"stacking orders every client", {1, 2, 3}, {2, 3, 1}, {1, 3, 2}},
        {"no stacking list (xfwm4 with one window)", {7}, {}, {7}},
        {"clients missing from stacking follow in list order", {1, 2, 3, 4}, {3, 1}, {1, 3, 2, 4}},
        {"stacking entries that are no clients are dropped", {1, 2}, {9, 2, 8, 1}, {1, 2}},
        {"a window listed twice counts once", {1, 2, 1}, {2, 2, 1}, {1, 2}},
        {"no clients", {}, {1, 2}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(clientsFrontToBack(c.clientList, c.stacking), c.frontToBack);
    }
}

// A display in memory: windows 1 and 2 belong to process 100 ("Editor"), window 3 to process 200
// ("Mail"); what happened to a window that left the list is set per test.
class MemoryRoster : public X11ClientRoster {
public:
    explicit MemoryRoster(const Windows& initial) {
        adopt(initial);
        subscriptions_.push_back(windowCreated.subscribe([this](const X11Client& c) { note("created", c.window); }));
        subscriptions_.push_back(windowDestroyed.subscribe([this](const X11Client& c) { note("destroyed", c.window); }));
        subscriptions_.push_back(applicationLaunched.subscribe(
            [this](const RunningApplication& a) { lines.push_back("launched " + *a.bundleIdentifier); }));
        subscriptions_.push_back(applicationTerminated.subscribe(
            [this](const RunningApplication& a) { lines.push_back("terminated " + *a.bundleIdentifier); }));
    }

    void list(const Windows& windows) { update(windows); }
    void destroy(xcb_window_t window) {
        fates[window] = X11ClientFate::destroyed;
        windowDestroyedOnServer(window);
    }
    void withdraw(xcb_window_t window) {
        fates[window] = X11ClientFate::withdrawn;
        windowChanged(window);
    }

    std::map<xcb_window_t, X11ClientFate> fates;
    std::vector<std::string> lines;
    Windows released;

protected:
    std::vector<X11Client> describe(const Windows& windows) override {
        std::vector<X11Client> result;
        for (xcb_window_t window : windows) {
            if (fates.count(window) && fates[window] == X11ClientFate::destroyed) continue;
            const bool editor = window < 3;
            result.push_back({window, editor ? 100 : 200, editor ? "Editor" : "Mail", X11WindowType::normal});
        }
        return result;
    }
    X11ClientFate fate(xcb_window_t window) override {
        // Unless a test says otherwise, a window that leaves the list is still on screen.
        return fates.count(window) ? fates[window] : X11ClientFate::awaitingManager;
    }
    void release(xcb_window_t window) override { released.push_back(window); }

private:
    void note(const char* what, xcb_window_t window) { lines.push_back(std::string(what) + " " + std::to_string(window)); }
    std::vector<Subscription> subscriptions_;
};

using Step = std::variant<Windows,                               // a new value of the client list
                          std::pair<const char*, xcb_window_t>>;  // "destroy" or "withdraw" a window

TEST(X11ClientRoster, OnlyRealCreationsAndDestructionsAreAnnounced) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> lines;
        Windows listedAfter;
        size_t applications;
    };
    const Case cases[] = {
        {"a window manager restart empties and refills the list", {Windows{}, Windows{3, 1, 2}}, {}, {3, 1, 2}, 2},
        {"a refill in pieces", {Windows{}, Windows{2}, Windows{2, 3}, Windows{2, 3, 1}}, {}, {2, 3, 1}, 2},
        {"a destruction during the gap is announced at once",
         {Windows{}, std::pair{"destroy", 2u}, Windows{1, 3}},
         {"destroyed 2"},
         {1, 3},
         2},
        {"the last window of a process destroyed during the gap ends its application",
         {Windows{}, std::pair{"destroy", 3u}, Windows{1, 2}},
         {"destroyed 3", "terminated Mail"},
         {1, 2},
         1},
        {"a window its client withdraws during the gap is announced",
         {Windows{}, std::pair{"withdraw", 1u}, Windows{2, 3}},
         {"destroyed 1"},
         {2, 3},
         2},
        {"a new window in the refill is still new",
         {Windows{}, Windows{1, 2, 3, 4}},
         {"created 4"},
         {1, 2, 3, 4},
         2},
        {"a window destroyed before the list dropped it", {std::pair{"destroy", 1u}, Windows{2, 3}}, {"destroyed 1"}, {2, 3}, 2},
        {"destroying a listed window waits for the list",
         {std::pair{"destroy", 3u}},
         {},
         {1, 2, 3},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryRoster roster({1, 2, 3});
        for (const Step& step : c.steps) {
            if (const auto* list = std::get_if<Windows>(&step)) {
                roster.list(*list);
            } else {
                const auto& [action, window] = std::get<1>(step);
                if (std::string(action) == "destroy") {
                    roster.destroy(window);
                } else {
                    roster.withdraw(window);
                }
            }
        }
        EXPECT_EQ(roster.lines, c.lines);
        Windows listed;
        for (const X11Client& client : roster.clients()) listed.push_back(client.window);
        EXPECT_EQ(listed, c.listedAfter);
        EXPECT_EQ(roster.applications().size(), c.applications);
    }
}

TEST(X11ClientRoster, AWindowThatLeavesForGoodIsAnnouncedOnceAndReleased) {
    MemoryRoster roster({1, 2, 3});
    roster.fates[3] = X11ClientFate::withdrawn;
    roster.list({1, 2});
    roster.list({1, 2});
    roster.withdraw(3);
    EXPECT_EQ(roster.lines, (std::vector<std::string>{"destroyed 3", "terminated Mail"}));
    EXPECT_EQ(roster.released, Windows{3});
    EXPECT_FALSE(roster.client(3));
    // Held windows keep their identity meanwhile.
    roster.list({});
    EXPECT_TRUE(roster.isHeld(1));
    EXPECT_EQ(roster.client(1)->windowClass, "Editor");
    EXPECT_TRUE(roster.application(100));
}

}  // namespace
}  // namespace tessary
