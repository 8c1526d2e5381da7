// The harness itself: everything a desktop started ends with it.

#include "tests/e2e/harness/DesktopTest.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace tessary::e2e {
namespace {

TEST(HarnessCleanUp, EveryProcessEndsWithItsDesktop) {
    std::vector<pid_t> started;
    {
        VirtualDesktop desktop;
        TestClient client = desktop.startClient();
        ASSERT_NE(client.open(""), 0u);
        started = {desktop.serverPid(), desktop.windowManagerPid(), client.pid()};
    }
    for (pid_t pid : started) {
        // Killed and reaped: the pid no longer names a process of ours.
        EXPECT_NE(::kill(pid, 0), 0) << "pid " << pid << " outlived its desktop";
    }
}

}  // namespace
}  // namespace tessary::e2e
