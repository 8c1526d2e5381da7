// What a screen reader meets of the real program's windows over AT-SPI, on a session bus of the
// test's own (which starts the accessibility bus when first asked), read by the reader helper.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/PinnedDesktop.h"
#include "tests/e2e/harness/DragLayouts.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/settings/SettingsDesktop.h"

#ifndef TESSARY_ATSPI_READER
#error "TESSARY_ATSPI_READER must name the AT-SPI reader"
#endif

namespace tessary::e2e {
namespace {

class ScreenReaderTest : public SettingsDesktopTest {
protected:
    void SetUp() override {
        SettingsDesktopTest::SetUp();
        if (HasFatalFailure()) return;
        ChildProcess::Options options;
        options.arguments = {"dbus-daemon", tessary::pinned::privateBusConfiguration(), "--nofork", "--print-address=1"};
        options.environment = desktop->environment();
        options.pipeStdout = true;
        bus = ChildProcess::start(options);
        const auto address = bus.readLine(Clock::now() + 10s);
        ASSERT_TRUE(address && !address->empty()) << "no session bus";
        busVariable = "DBUS_SESSION_BUS_ADDRESS=" + *address;
        extraEnvironment = {busVariable, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"};
    }
    void TearDown() override {
        instance.kill();
        bus.kill();
        SettingsDesktopTest::TearDown();
    }

    // The program's windows as a reader lists them (ROLE|NAME|STATES); empty when none can be read.
    std::vector<std::string> readerWindows() {
        ChildProcess::Options options;
        options.arguments = {TESSARY_ATSPI_READER, "windows", "Tessary"};
        options.environment = desktop->environment();
        options.environment.push_back(busVariable);
        options.pipeStdout = true;
        ChildProcess reader = ChildProcess::start(options);
        const auto deadline = Clock::now() + 10s;
        std::vector<std::string> lines;
        while (auto line = reader.readLine(deadline)) lines.push_back(*line);
        const auto status = reader.waitForExit(deadline);
        if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return {};
        return lines;
    }

    static bool lists(const std::vector<std::string>& windows, const std::string& start) {
        return std::any_of(windows.begin(), windows.end(), [&](const std::string& line) { return line.starts_with(start); });
    }

    ChildProcess bus;
    std::string busVariable;
};

// The settings window opens as a window (a frame, in AT-SPI's words), so a reader announces it;
// nothing of the program is a bare filler. The zone overlay's windows, kept hidden between drags,
// are gone from the list once a flash of the zones is over.
TEST_F(ScreenReaderTest, TheSettingsWindowIsAWindowAndHiddenOverlaysAreNotListed) {
    writeDragLayouts(desktop->dataHome());
    startInstance();
    ASSERT_TRUE(ask({"open", "general"}).empty() && paneIs("General"));
    std::vector<std::string> windows;
    EXPECT_TRUE(waitFor([&] { return lists(windows = readerWindows(), "frame|Settings|"); }, 20s))
        << ::testing::PrintToString(windows);
    EXPECT_FALSE(lists(windows, "filler|")) << ::testing::PrintToString(windows);

    MappedOverlays flashes(desktop->display());
    ASSERT_EQ(answerTo({"show-zones"}), "");
    ASSERT_TRUE(waitFor([&] { return flashes.sawFrom(*platform, 0, 1000, instance.pid()); }, 10s)) << "no zones shown";
    ASSERT_TRUE(waitFor([&] { return !overlayMappedFrom(*platform, 0, 1000, instance.pid()); }, 10s))
        << "the zones stayed";
    // The program answers a request only once the flash's end has been handled.
    ASSERT_TRUE(paneIs("General"));
    windows = readerWindows();
    EXPECT_TRUE(lists(windows, "frame|Settings|")) << ::testing::PrintToString(windows);
    EXPECT_FALSE(lists(windows, "filler|Tessary zones|")) << ::testing::PrintToString(windows);
    EXPECT_FALSE(lists(windows, "filler|")) << ::testing::PrintToString(windows);
}

}  // namespace
}  // namespace tessary::e2e
