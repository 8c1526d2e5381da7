// The program's own windows on a desktop of two monitors made by `xrandr --setmonitor`, where Qt's
// screen list may not match the monitors: each window opens inside the monitor under the pointer,
// carries the program's icon, and a closed one comes back where it was left, after giving its
// shared-memory buffers back.

#include <gmock/gmock.h>

#include <sys/wait.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QImage>

#include "Platform/X11/X11Property.h"

#include "tests/e2e/harness/DesktopTest.h"
#include "tests/e2e/harness/ProcessCounters.h"
#include "tests/e2e/harness/ProgramWindows.h"

#ifndef TESSARY_PROGRAM
#error "TESSARY_PROGRAM must name the tessary program"
#endif
#ifndef TESSARY_ICONS
#error "TESSARY_ICONS must name the build's icon folder"
#endif

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

const Rect leftMonitor(0, 0, 1920, 1080), rightMonitor(1920, 0, 1920, 1080);

bool inside(const Rect& frame, const Rect& monitor) {
    return frame.minX() >= monitor.minX() && frame.minY() >= monitor.minY() && frame.maxX() <= monitor.maxX() &&
           frame.maxY() <= monitor.maxY();
}

class WindowsTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (HasFatalFailure()) return;
        fs::create_directories(fs::path(desktop->configHome()) / "Tessary");
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json") << "{\"hasCompletedOnboarding\": true}\n";
        instance = ChildProcess::start(options({}));
        const fs::path socket = fs::path(desktop->runtimeDirectory()) / "tessary" /
                                ("local-" + desktop->display().substr(1) + ".socket");
        ASSERT_TRUE(waitFor([&] { return fs::exists(socket); }, 20s)) << "the instance never answered";
    }

    ChildProcess::Options options(std::vector<std::string> arguments) const {
        ChildProcess::Options options;
        options.arguments = {TESSARY_PROGRAM};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.environment = desktop->environment();
        options.environment.push_back("QT_QPA_PLATFORM=xcb");
        options.environment.push_back("TESSARY_E2E=1");
        options.discardStdout = true;
        return options;
    }

    // A later start with these arguments; whether it ended with status 0.
    bool run(std::vector<std::string> arguments) {
        ChildProcess later = ChildProcess::start(options(std::move(arguments)));
        const auto status = later.waitForExit(Clock::now() + 10s);
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    }

    // The window a later start with these arguments opens, once the window manager lists it.
    std::optional<xcb_window_t> openedBy(std::vector<std::string> arguments) {
        const auto before = listedWindows(*platform, instance.pid());
        if (!run(std::move(arguments))) return std::nullopt;
        std::optional<xcb_window_t> window;
        waitFor([&] {
            for (xcb_window_t listed : listedWindows(*platform, instance.pid())) {
                if (std::find(before.begin(), before.end(), listed) == before.end()) window = listed;
            }
            return window.has_value();
        });
        return window;
    }

    // The window with this title once the window manager manages it and its frame stopped moving.
    std::optional<xcb_window_t> awaitWindow(const std::string& title) {
        std::optional<xcb_window_t> found;
        std::optional<Rect> last;
        auto since = Clock::now();
        waitFor(
            [&] {
                found = listedWindow(*platform, instance.pid(), title);
                if (!found) return false;
                const auto frame = platform->windows().outerFrame(*found);
                if (frame != last) {
                    last = frame;
                    since = Clock::now();
                }
                return frame && Clock::now() - since >= 300ms;
            },
            10s);
        return found;
    }

    Rect frame(xcb_window_t window) { return platform->windows().outerFrame(window).value_or(Rect::null()); }

    void close(const std::string& title) {
        const auto window = listedWindow(*platform, instance.pid(), title);
        ASSERT_TRUE(window) << title;
        closeLikeTheWindowManager(*platform, *window);
        ASSERT_TRUE(waitFor([&] { return !listedWindow(*platform, instance.pid(), title); })) << title << " stayed";
    }

    ChildProcess instance;
};

struct Opened {
    const char* url;
    // Shown again where the user left it; the others open centred each time.
    bool keepsItsPlace;
};
const Opened windows[] = {
    {"tessary://about", true}, {"tessary://settings", true}, {"tessary://feedback", false},
    {"tessary://onboarding", false}, {"tessary://editor", true},
};

TEST_F(WindowsTest, EachWindowOpensInsideTheMonitorUnderThePointer) {
    // Near the boundary, where a window centred on the whole screen or on the wrong monitor
    // straddles it: first on the right, then on the left, where only the windows that are not
    // shown again where they were left follow the pointer.
    const std::pair<int, Rect> pointers[] = {{1940, rightMonitor}, {1900, leftMonitor}};
    for (const auto& [x, pointed] : pointers) {
        desktop->movePointerTo(x, 540);
        desktop->syncInput();
        for (const Opened& opened : windows) {
            SCOPED_TRACE(std::string(opened.url) + " with the pointer at x " + std::to_string(x));
            const auto window = openedBy({opened.url});
            ASSERT_TRUE(window) << "no window opened";
            const std::string title = platform->windows().title(*window).value_or("");
            ASSERT_TRUE(awaitWindow(title));
            const Rect& monitor = opened.keepsItsPlace ? rightMonitor : pointed;
            EXPECT_TRUE(inside(frame(*window), monitor)) << title << " at " << frame(*window);
            closeLikeTheWindowManager(*platform, *window);
            ASSERT_TRUE(waitFor([&] { return !listedWindow(*platform, instance.pid(), title); })) << title;
        }
    }

    // An alert: the settings window's confirmation, over its window.
    desktop->movePointerTo(1900, 540);
    desktop->syncInput();
    ASSERT_TRUE(run({"settings-test", "open", "shortcuts"}));
    const auto settings = awaitWindow("Settings");
    ASSERT_TRUE(settings);
    const Rect& settingsMonitor = inside(frame(*settings), leftMonitor) ? leftMonitor : rightMonitor;
    const auto before = listedWindows(*platform, instance.pid());
    ChildProcess rect = ChildProcess::start([&] {
        auto o = options({"settings-test", "rect", "primaryAction"});
        o.discardStdout = false;
        o.pipeStdout = true;
        return o;
    }());
    std::istringstream reply(rect.readLine(Clock::now() + 10s).value_or(""));
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(reply >> x >> y >> width >> height) << "no primary action";
    desktop->movePointerTo(x + width / 2, y + height / 2);
    desktop->pressButton(1, true);
    desktop->pressButton(1, false);
    desktop->syncInput();
    std::optional<xcb_window_t> alert;
    ASSERT_TRUE(waitFor([&] {
        for (xcb_window_t listed : listedWindows(*platform, instance.pid())) {
            if (std::find(before.begin(), before.end(), listed) == before.end()) alert = listed;
        }
        return alert.has_value();
    }, 10s)) << "no confirmation";
    ASSERT_TRUE(awaitWindow(platform->windows().title(*alert).value_or("")));
    EXPECT_TRUE(inside(frame(*alert), settingsMonitor)) << "the alert at " << frame(*alert);
}

// The icon a taskbar, a switcher and a title bar show for each window: the program's own, at every
// size the build made up to 128 px, as its PNGs hold it.
TEST_F(WindowsTest, EachWindowCarriesTheProgramsIcon) {
    X11Connection& c = platform->connection();
    const auto interned = c.reply(xcb_intern_atom_reply, xcb_intern_atom(c.xcb(), 0, 12, "_NET_WM_ICON"),
                                  "InternAtom", X11ErrorTolerance::none);
    ASSERT_TRUE(interned);
    const xcb_atom_t iconAtom = interned->atom;
    for (const Opened& opened : windows) {
        SCOPED_TRACE(opened.url);
        const auto window = openedBy({opened.url});
        ASSERT_TRUE(window) << "no window opened";
        const auto property =
            X11Property::read(c, *window, iconAtom, XCB_ATOM_CARDINAL, X11ErrorTolerance::windowMayVanish);
        ASSERT_TRUE(property && property->exists()) << "no _NET_WM_ICON";
        const std::vector<uint32_t> data = property->cardinals();
        std::vector<int> sizes;
        for (std::size_t at = 0; at + 2 <= data.size();) {
            const uint32_t width = data[at], height = data[at + 1];
            ASSERT_LE(at + 2 + std::size_t(width) * height, data.size()) << "a truncated entry";
            sizes.push_back(int(width));
            const QImage expected =
                QImage(QString::fromLatin1(TESSARY_ICONS) + QStringLiteral("/hicolor/%1x%1/apps/tessary.png").arg(width))
                    .convertToFormat(QImage::Format_ARGB32);
            ASSERT_FALSE(expected.isNull()) << "the build made no " << width << " px picture";
            ASSERT_EQ(height, width);
            int differing = 0;
            for (uint32_t y = 0; y < height; ++y) {
                for (uint32_t x = 0; x < width; ++x) {
                    const QRgb shown = data[at + 2 + y * width + x], drawn = expected.pixel(int(x), int(y));
                    // Fully transparent pixels may keep any colour.
                    if (qAlpha(shown) == 0 && qAlpha(drawn) == 0) continue;
                    const int off = std::max({std::abs(qRed(shown) - qRed(drawn)), std::abs(qGreen(shown) - qGreen(drawn)),
                                              std::abs(qBlue(shown) - qBlue(drawn)), std::abs(qAlpha(shown) - qAlpha(drawn))});
                    differing += off > 2 ? 1 : 0;
                }
            }
            EXPECT_EQ(differing, 0) << "the " << width << " px icon is not the program's";
            at += 2 + std::size_t(width) * height;
        }
        EXPECT_THAT(sizes, ::testing::UnorderedElementsAre(16, 22, 24, 32, 48, 64, 128));
        const std::string title = platform->windows().title(*window).value_or("");
        closeLikeTheWindowManager(*platform, *window);
        ASSERT_TRUE(waitFor([&] { return !listedWindow(*platform, instance.pid(), title); })) << title;
    }
}

// Closing gives the window's buffers back (the X server's shared memory the program had mapped);
// opening it again makes new ones, and the window comes back where it was, as often as it is done.
TEST_F(WindowsTest, AClosedWindowGivesBackItsBuffersAndComesBackWhereItWas) {
    const pid_t pid = instance.pid();
    auto shared = [pid] { return residentKilobytes(pid, "RssShmem:"); };
    const long idle = shared();
    for (const Opened& opened : windows) {
        if (!opened.keepsItsPlace) continue;
        SCOPED_TRACE(opened.url);
        std::optional<Rect> first;
        for (int round = 0; round < 3; ++round) {
            const auto window = openedBy({opened.url});
            ASSERT_TRUE(window) << "no window opened";
            const std::string title = platform->windows().title(*window).value_or("");
            ASSERT_TRUE(awaitWindow(title));
            EXPECT_GT(shared(), idle) << "a shown window draws into shared memory";
            if (!first) first = frame(*window);
            EXPECT_EQ(frame(*window), *first) << "round " << round;
            ASSERT_NO_FATAL_FAILURE(close(title));
            EXPECT_TRUE(waitUntil([&] { return shared() <= idle; }, Clock::now() + 5s))
                << shared() << " kB shared after closing, " << idle << " kB before opening";
        }
    }
}

}  // namespace
}  // namespace tessary::e2e
