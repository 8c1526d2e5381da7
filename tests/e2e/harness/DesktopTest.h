#pragma once

#include "Platform/X11/X11Platform.h"
#include "tests/e2e/harness/VirtualDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace tessary::e2e {

// A test with its own virtual desktop and the X11 back ends connected to it. Unexpected X errors
// end the test program (see X11Connection).
class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override { start(VirtualDesktop::Options{}); }

    void start(VirtualDesktop::Options options) {
        ::setenv("TESSARY_X_ERRORS_FATAL", "1", 1);
        desktop = std::make_unique<VirtualDesktop>(std::move(options));
        platform = X11Platform::open(desktop->display().c_str());
        ASSERT_TRUE(platform) << "cannot connect to " << desktop->display();
    }

    void TearDown() override {
        if (platform) {
            // Whatever went wrong, no X error the back end did not expect may have been seen.
            EXPECT_EQ(platform->connection().unexpectedErrorCount(), 0u);
        }
        platform.reset();
        desktop.reset();
    }

    // Runs the main loop's part (dispatching X events) until the condition holds.
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
        return waitUntil(
            [&] {
                platform->processPendingEvents();
                return condition();
            },
            Clock::now() + limit, platform->fileDescriptor());
    }

    bool isManaged(xcb_window_t window) {
        auto list = platform->windows().clientList();
        return std::find(list.begin(), list.end(), window) != list.end() && platform->tracker().client(window);
    }

    // Opens a test-client window and waits until the window manager manages it.
    xcb_window_t openWindow(TestClient& client, const std::string& options) {
        xcb_window_t window = client.open(options);
        EXPECT_NE(window, 0u) << "the test client did not open a window";
        EXPECT_TRUE(waitFor([&] { return isManaged(window); })) << "the window manager did not manage it";
        return window;
    }

    std::unique_ptr<VirtualDesktop> desktop;
    std::unique_ptr<X11Platform> platform;
};

}  // namespace tessary::e2e
