// The real tessary program (the sanitizer build) on a desktop with a tray, whatever of its own
// windows is open: SIGTERM and the tray's Quit end it at once, having written what was changed,
// and leave no socket and no lock behind; asked for again, a window the user minimised or left on
// another desktop comes back where the user is, viewable and focused.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstring>
#include <iostream>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "tests/e2e/harness/LoopbackListener.h"
#include "tests/e2e/harness/ProgramWindows.h"
#include "tests/e2e/settings/SettingsDesktop.h"

namespace tessary::e2e {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kControlL = 0xffe3, kUp = 0xff52, kRight = 0xff53, kReturn = 0xff0d;
// How long the program may take to end once told to, whatever is open.
constexpr auto kQuitLimit = 2s;

// The tray menu's items counted up from its last, as the Up key reaches them.
constexpr int kSettingsItem = 2, kAboutItem = 4, kEditorItem = 5, kWorkspacesItem = 6;

std::string contents(const fs::path& path) {
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A server on 127.0.0.1 that takes connections and never answers them: a report sent to it is
// being sent until the sender gives up.
class SilentServer {
public:
    ~SilentServer() {
        for (int connection : connections_) ::close(connection);
    }

    std::string url() const { return listener_.url("/feedback"); }
    // Whether a sender has connected (taken now, kept open).
    bool connected() {
        const int connection = ::accept4(listener_.descriptor(), nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) connections_.push_back(connection);
        return !connections_.empty();
    }

private:
    LoopbackListener listener_{SOCK_NONBLOCK};
    std::vector<int> connections_;
};

class OwnWindowsTest : public SettingsDesktopTest {
protected:
    void SetUp() override {
        SettingsDesktopTest::SetUp();
        if (HasFatalFailure()) return;
        desktop->startTray();
        writeDocuments();
    }

    void TearDown() override {
        for (ChildProcess& process : background) process.kill();
        SettingsDesktopTest::TearDown();
    }

    fs::path dataFolder() const { return fs::path(desktop->dataHome()) / "Tessary"; }

    // "Quarters" and "Halves" (the default everywhere), onboarding done, nothing else.
    void writeDocuments() {
        fs::remove_all(dataFolder());
        fs::create_directories(dataFolder());
        LayoutLibrary library;
        ZoneLayout quarters(LayoutTemplate::grid, 4, "Quarters");
        ZoneLayout halves(LayoutTemplate::columns, 2, "Halves");
        library.layouts = {quarters, halves};
        library.defaultLayoutID = halves.id;
        std::ofstream(dataFolder() / "layouts.json") << JSONDocumentStore<LayoutLibrary>::encode(library).value();
        std::ofstream(fs::path(desktop->configHome()) / "Tessary" / "defaults.json") << "{\"hasCompletedOnboarding\": true}\n";
    }

    // A later start with these arguments, to its end; its exit status.
    int startAgain(std::vector<std::string> arguments) {
        ChildProcess::Options options = programOptions(std::move(arguments));
        options.discardStdout = true;
        ChildProcess later = ChildProcess::start(options);
        const auto status = later.waitForExit(Clock::now() + 15s);
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // Where the editor shows the control called `name`, once it does.
    std::optional<Rect> editorControl(const std::string& name) {
        std::optional<Rect> found;
        waitUntil(
            [&] {
                std::istringstream reply(answerTo({"editor-test", "rect", name}));
                int x, y, width, height;
                if (reply >> x >> y >> width >> height) found = Rect(x, y, width, height);
                return found.has_value();
            },
            Clock::now() + 15s);
        return found;
    }
    void clickEditor(const std::string& name) {
        const auto at = editorControl(name);
        ASSERT_TRUE(at) << "the editor shows no " << name;
        clickAt(int(at->midX()), int(at->midY()));
    }

    // The instance's one window the window manager lists with this title, once it does.
    std::optional<xcb_window_t> shownWindow(const std::string& title) {
        std::optional<xcb_window_t> found;
        waitFor([&] { return (found = listedWindow(*platform, instance.pid(), title)).has_value(); }, 10s);
        return found;
    }

    // Opens the tray menu and chooses the item `fromTheBottom` places up from its end (into the
    // submenu it opens, first item, when `intoSubmenu`).
    void chooseTrayItem(int fromTheBottom, bool intoSubmenu = false) {
        ASSERT_TRUE(openTrayMenu(instance.pid())) << "no tray menu";
        for (int i = 0; i < fromTheBottom; ++i) tap({kUp});
        if (intoSubmenu) tap({kRight});
        tap({kReturn});
        desktop->syncInput();
    }

    // Opens the tray menu and clicks its last item, "Quit Tessary", a few pixels above the menu's
    // foot.
    void clickTrayQuit() {
        ASSERT_TRUE(openTrayMenu(instance.pid())) << "no tray menu";
        const auto menu = openMenu(instance.pid());
        ASSERT_TRUE(menu);
        clickAt(int(menu->midX()), int(menu->maxY()) - 10);
    }

    bool isRecording(const std::string& recorder) { return ask({"placeholder", recorder}) == "Press Shortcut"; }

    // Whether a new instance would take over at once: nobody holds the instance lock.
    bool lockIsFree() {
        const fs::path lock = fs::path(desktop->runtimeDirectory()) / "tessary" /
                              ("local-" + desktop->display().substr(1) + ".lock");
        const int descriptor = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) return true;
        const bool taken = ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
        ::close(descriptor);
        return taken;
    }

    // --- The states quitting meets ----------------------------------------------------------------

    struct State {
        const char* name;
        // Opens the state; returns once it is on screen.
        std::function<void()> open;
        // False where an application-modal prompt keeps every other window of ours, the tray icon
        // too, from taking input.
        bool trayReachable = true;
        // The name a layout was given in this state, which the document must hold at the end.
        std::string renamedTo = {};
    };

    void openByURL(const std::string& url, const std::string& title) {
        ASSERT_EQ(startAgain({url}), 0);
        ASSERT_TRUE(shownWindow(title)) << "no window " << title;
    }
    void openEditorOn(const std::string& layout) {
        ASSERT_EQ(startAgain({"tessary://editor"}), 0);
        clickEditor(layout);
    }
    void openShortcutsRecording() {
        open("shortcuts", "Shortcuts");
        click("shortcut.snapToZone9");
        ASSERT_TRUE(waitFor([&] { return isRecording("shortcut.snapToZone9"); }, 10s)) << "no recording";
    }

    std::vector<State> states() {
        return {
            {"the editor, opened from the tray",
             [&] {
                 chooseTrayItem(kEditorItem);
                 ASSERT_TRUE(editorControl("Halves")) << "no editor";
             }},
            {"the editor with its new-layout sheet",
             [&] {
                 ASSERT_EQ(startAgain({"tessary://editor?new=1"}), 0);
                 ASSERT_TRUE(editorControl("Create")) << "no sheet";
             }},
            {"the editor with a rename in progress",
             [&] {
                 openEditorOn("Halves");
                 const auto label = editorControl("Name");
                 ASSERT_TRUE(label) << "no name field";
                 // The field stands right of its label. The keys go where the window manager
                 // has put the focus by then: the click's focus first.
                 clickAt(int(label->maxX()) + 60, int(label->midY()));
                 ASSERT_TRUE(desktop->syncWindowManager());
                 tap({kControlL, 'a'});
                 typeText("Renamed");
                 ASSERT_TRUE(waitFor([&] { return contents(dataFolder() / "layouts.json").find("\"Renamed\"") !=
                                                  std::string::npos; }, 10s))
                     << "the rename was not saved";
             },
             true, "Renamed"},
            {"the editor previewing a layout on screen",
             [&] {
                 openEditorOn("Halves");
                 clickEditor("Preview on Screen");
                 ASSERT_TRUE(waitFor([&] { return overlayMappedFrom(*platform, 0, 1000, instance.pid()); }, 10s))
                     << "no preview";
             }},
            {"the editor asking to confirm a deletion",
             [&] {
                 openEditorOn("Quarters");
                 clickEditor("Delete");
                 ASSERT_TRUE(editorControl("Cancel")) << "no confirmation";
             }},
            {"settings recording a shortcut", [&] { openShortcutsRecording(); }},
            {"settings with the recorder's alert",
             [&] {
                 openShortcutsRecording();
                 tap({kControlL, 'q'});
                 ASSERT_TRUE(waitFor([&] { return ask({"alert"}) != "none"; }, 10s)) << "no alert";
             }},
            {"settings asking to confirm a reset",
             [&] {
                 open("shortcuts", "Shortcuts");
                 click("primaryAction");
                 ASSERT_TRUE(controlRect("confirm")) << "no confirmation";
             }},
            {"settings choosing a folder",
             [&] {
                 open("sync", "Sync");
                 click("chooseSyncFolder");
                 ASSERT_TRUE(shownWindow("Choose Folder")) << "no folder dialog";
             }},
            {"About", [&] { openByURL("tessary://about", "About Tessary"); }},
            {"feedback being sent",
             [&] {
                 openByURL("tessary://feedback", "Send Feedback");
                 // The feedback window's own client, through the test verb (this build has no
                 // feedback server of its own): its request stays unanswered.
                 ChildProcess::Options options =
                     programOptions({"feedback-test", "send", feedbackServer.url(), "Sent while quitting"});
                 options.discardStdout = true;
                 background.push_back(ChildProcess::start(options));
                 ASSERT_TRUE(waitFor([&] { return feedbackServer.connected(); }, 10s)) << "nothing was sent";
             }},
            {"onboarding", [&] { openByURL("tessary://onboarding", "Welcome to Tessary"); }},
            {"the editor beside the other windows",
             [&] {
                 ASSERT_EQ(startAgain({"tessary://editor"}), 0);
                 ASSERT_TRUE(editorControl("Halves")) << "no editor";
                 openByURL("tessary://settings", "Settings");
                 openByURL("tessary://about", "About Tessary");
                 openByURL("tessary://onboarding", "Welcome to Tessary");
             }},
            {"the save-workspace prompt",
             [&] {
                 chooseTrayItem(kWorkspacesItem, true);
                 ASSERT_TRUE(shownWindow("Save Current Windows")) << "no prompt";
             },
             false},
        };
    }

    // From a fresh instance with the state open and a snap whose save is still pending, ends the
    // program by `end` and checks how it went.
    void endIn(const State& state, const std::function<void()>& end) {
        const int before = partsSoFar();
        writeDocuments();
        startInstance();
        if (!fatalSince(before)) state.open();
        if (!fatalSince(before)) {
            // Written a second after the snap: quitting comes first.
            EXPECT_EQ(startAgain({"tessary://snap?zone=1&bundle=Ledger"}), 0);
            // Timed from the last of it (the tray's Return is sent once its menu is open).
            end();
            const auto told = Clock::now();
            const auto status = instance.waitForExit(told + kQuitLimit);
            std::cout << "[ MEASURE  ] " << state.name << ": ended in "
                      << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - told).count() << " ms\n";
            EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
                << (status ? "it ended with status " + std::to_string(*status) : "it still runs");
            EXPECT_FALSE(fs::exists(socket())) << "the socket is left behind";
            EXPECT_THAT(contents(dataFolder() / "memory.json"), ::testing::HasSubstr("Ledger")) << "the snap was lost";
            if (!state.renamedTo.empty()) {
                EXPECT_THAT(contents(dataFolder() / "layouts.json"), ::testing::HasSubstr('"' + state.renamedTo + '"'));
            }
        }
        instance.kill();
        EXPECT_TRUE(lockIsFree()) << "a new instance would wait";
        for (ChildProcess& process : background) process.kill();
        background.clear();
    }

    // The results recorded so far, and whether one of those after the first `parts` is fatal: the
    // rows of a table go on after one of them failed.
    static int partsSoFar() {
        return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
    }
    static bool fatalSince(int parts) {
        const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
        for (int i = parts; i < result->total_part_count(); ++i) {
            if (result->GetTestPartResult(i).fatally_failed()) return true;
        }
        return false;
    }

    // The window snapped by URL in each state.
    void openLedger() {
        ledger = desktop->startClient();
        openWindow(*ledger, "x=300 y=300 w=400 h=300 title=Ledger class=Ledger");
    }

    std::optional<TestClient> ledger;
    SilentServer feedbackServer;
    std::vector<ChildProcess> background;
};

TEST_F(OwnWindowsTest, SIGTERMEndsTheProgramWhateverIsOpen) {
    openLedger();
    for (const State& state : states()) {
        SCOPED_TRACE(state.name);
        endIn(state, [&] { ::kill(instance.pid(), SIGTERM); });
    }
}

TEST_F(OwnWindowsTest, TheTraysQuitEndsTheProgramWhateverIsOpen) {
    openLedger();
    for (const State& state : states()) {
        if (!state.trayReachable) continue;
        SCOPED_TRACE(state.name);
        endIn(state, [&] { clickTrayQuit(); });
    }
}

// --- Windows asked for again ------------------------------------------------------------------------

class WindowsAskedForTest : public OwnWindowsTest {
protected:
    std::optional<std::uint32_t> cardinal(xcb_window_t window, const char* property) {
        X11Connection& c = platform->connection();
        auto reply = c.reply(xcb_get_property_reply,
                             xcb_get_property(c.xcb(), 0, window, atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
                             "GetProperty", X11ErrorTolerance::windowMayVanish);
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return std::nullopt;
        return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    }
    // Where the user is: the window is mapped, not minimised, on the desktop shown (the first, the
    // user's: the request moves the window, not the user) and focused.
    bool isWithTheUser(xcb_window_t window) {
        constexpr std::uint32_t normalState = 1, allDesktops = 0xFFFFFFFF;
        const auto desktop = cardinal(window, "_NET_WM_DESKTOP");
        return isViewable(window) && cardinal(window, "WM_STATE") == normalState &&
               cardinal(platform->connection().root(), "_NET_CURRENT_DESKTOP") == 0u &&
               (!desktop || *desktop == 0 || *desktop == allDesktops) && platform->windows().activeWindow() == window;
    }
};

TEST_F(WindowsAskedForTest, AMinimisedOrFarAwayWindowComesBackViewableAndFocused) {
    startInstance();
    // A second desktop to leave windows on, where the window manager lets clients add one.
    sendClientMessage(platform->connection().root(), "_NET_NUMBER_OF_DESKTOPS", {2, 0, 0, 0, 0});
    const bool twoDesktops =
        waitFor([&] { return cardinal(platform->connection().root(), "_NET_NUMBER_OF_DESKTOPS") == 2u; }, 5s);
    if (!twoDesktops) std::cout << "[ NOTE     ] " << desktop->windowManager().name << " keeps one desktop\n";

    struct Window {
        const char* name;
        const char* url;
        int trayItem;
        bool minimiseButton;  // About offers only a close button, and icewm then keeps it on screen
    };
    struct Away {
        const char* name;
        std::array<std::uint32_t, 5> request;  // of the type below
        const char* type;
    };
    const Window windows[] = {
        {"the editor", "tessary://editor", kEditorItem, true},
        {"settings", "tessary://settings", kSettingsItem, true},
        {"About", "tessary://about", kAboutItem, false},
    };
    // ICCCM's minimise, as a taskbar asks; a move to the second desktop, as a pager asks.
    const Away aways[] = {
        {"minimised", {3, 0, 0, 0, 0}, "WM_CHANGE_STATE"},
        {"on another desktop", {1, 2, 0, 0, 0}, "_NET_WM_DESKTOP"},
    };
    for (const Window& window : windows) {
        ASSERT_EQ(startAgain({window.url}), 0);
        std::optional<xcb_window_t> shown;
        ASSERT_TRUE(waitFor([&] {
            const auto listed = e2e::listedWindows(*platform, instance.pid());
            if (listed.size() == 1) shown = listed[0];
            return shown && isWithTheUser(*shown);
        }, 10s)) << window.name << " did not open";
        for (const Away& away : aways) {
            if (std::string_view(away.type) == "_NET_WM_DESKTOP" && !twoDesktops) continue;
            for (const bool byTray : {true, false}) {
                SCOPED_TRACE(std::string(window.name) + ", " + away.name + ", asked for by " + (byTray ? "the tray" : "URL"));
                // Settled with the user first: a request to take it away that comes while the
                // program still brings it forward (once it is exposed) would be undone.
                ASSERT_TRUE(holds([&] { return isWithTheUser(*shown); }));
                sendClientMessage(*shown, away.type, away.request);
                const bool gone = waitFor([&] { return !isViewable(*shown); }, 5s);
                if (!gone && !window.minimiseButton && std::string_view(away.type) == "WM_CHANGE_STATE") {
                    std::cout << "[ NOTE     ] " << desktop->windowManager().name << " does not minimise "
                              << window.name << "\n";
                    break;
                }
                ASSERT_TRUE(gone) << "the window manager did not take it away";
                if (byTray) {
                    chooseTrayItem(window.trayItem);
                } else {
                    ASSERT_EQ(startAgain({window.url}), 0);
                }
                EXPECT_TRUE(waitFor([&] { return isWithTheUser(*shown); }, 5s))
                    << "viewable " << isViewable(*shown) << ", WM_STATE "
                    << cardinal(*shown, "WM_STATE").value_or(0) << ", desktop "
                    << cardinal(*shown, "_NET_WM_DESKTOP").value_or(0) << " of "
                    << cardinal(platform->connection().root(), "_NET_CURRENT_DESKTOP").value_or(0) << ", focused "
                    << (platform->windows().activeWindow() == shown);
            }
        }
        closeLikeTheWindowManager(*platform, *shown);
        ASSERT_TRUE(waitFor([&] { return e2e::listedWindows(*platform, instance.pid()).empty(); }, 10s));
    }
}

}  // namespace
}  // namespace tessary::e2e
