#pragma once

// The owner of every long-lived object of the running program and the one place that wires them
// together: it builds the shared state, the command table, the preferences and the zone service at
// construction, the other services lazily on first use, runs the launch sequence that fills the
// command table and the services' closure slots, starts the services that need window control
// (once), carries out the commands, and tears down in order when the program quits.
//
// Ownership. The delegate owns every service; each closure it puts into a slot of an object it
// owns dies with that object, and its destructor first empties the command table and the trust
// hook, so nothing outside can reach a delegate that is gone. Members are declared in dependency
// order, so they are destroyed users first.
//
// Windows. Its own windows (onboarding, editor, About, feedback, settings) come from factories;
// a window whose factory is missing is not built, and its command takes the "no window" path: it
// logs and does nothing else. Each opens inside the display under the pointer (WindowCentring),
// and gives back its X window, its backing store and the memory it drew with once it is closed
// (ClosedWindowRelease); the widget and what its owner keeps stay for the next opening, except
// the onboarding and feedback windows, which keep nothing the next opening needs (onboarding shows
// the shared state; a feedback form starts empty): once closed, and the feedback window not busy,
// they are dropped and made again at the next request (both open centred, as before). Every
// request for one brings it to the user, also when it is minimised or on another desktop
// (WindowPresentation). On X11 there is no activation policy to switch: one of our windows has its
// taskbar entry exactly while it is mapped.
//
// Main loop only. Runs over one bundle of platform back ends: X11 in the program, Sim in tests,
// where it runs in virtual time.

#include <QPointer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Accessibility.h"
#include "Platform/ApplicationLauncher.h"
#include "Platform/ApplicationWorkspace.h"
#include "Platform/GlobalInput.h"
#include "Platform/InstanceMessage.h"
#include "Platform/Logger.h"
#include "Platform/LoginItems.h"
#include "Platform/Scheduler.h"
#include "Platform/Screens.h"
#include "Platform/UserDefaults.h"
#include "Platform/UserNotices.h"
#include "Platform/WindowManagerInfo.h"
#include "Tessary/services/DisplayChangeRestorer.h"
#include "Tessary/services/DocumentTrouble.h"
#include "Tessary/services/DragSnapController.h"
#include "Tessary/services/InputMonitor.h"
#include "Tessary/services/NewWindowPlacer.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/services/SaveRetry.h"
#include "Tessary/services/WindowMemoryService.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/services/ZonePlacement.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/services/ui/OverlayController.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/AppState.h"
#include "Tessary/shell/ReviewPrompt.h"
#include "Tessary/shell/SettingsSection.h"
#include "Tessary/shell/ui/ClosedWindowRelease.h"
#include "WindowEngine/AXWindowObserver.h"
#include "WindowEngine/WindowEngine.h"

namespace tessary {

class AppDelegate;

// The platform back ends the delegate runs over; every one must outlive it.
struct AppPlatform {
    Accessibility& accessibility;
    ApplicationWorkspace& applications;
    Screens& screens;
    GlobalInput& input;
    ApplicationLauncher& launcher;
    UserDefaults& defaults;
    LoginItems& loginItems;
    Scheduler& scheduler;
    // The engine every service shares (an AXWindowEngine over `accessibility` in the program).
    std::shared_ptr<WindowEngine> engine;
    // Whether a compositor runs, asked by the overlay at every show; unset means one does.
    std::function<bool()> isCompositing;
    // Where notices to the user go (the desktop's notifications in the program); null: the log only.
    UserNotices* notices = nullptr;
    // The running window manager's name, for the drag keys it leaves free; null: none known.
    WindowManagerInfo* windowManager = nullptr;
};

// One of the program's own windows: what is shown, what keeps it (its window controller, of
// whatever kind; the widget itself when it has none) and, when the controller has its own way of
// showing it, that way. The delegate keeps `owner`.
struct AppWindow {
    std::shared_ptr<void> owner;
    QWidget* window = nullptr;
    std::function<void()> show;
    // Whether the closed window still works for the user (a feedback being sent, or whose sending
    // failed): the delegate then keeps it. Empty: never.
    std::function<bool()> busy = {};
    bool isBusy() const { return busy && busy(); }
    // What the owner gives up once the window is closed, before the memory goes back (contents it
    // makes again when the window next shows). Empty: nothing.
    std::function<void()> released = {};

    static AppWindow of(std::unique_ptr<QWidget> widget) {
        QWidget* shown = widget.get();
        return {std::shared_ptr<QWidget>(std::move(widget)), shown, nullptr};
    }
    explicit operator bool() const { return window != nullptr; }
};

// Makes one of the program's own windows, once (the feedback window: each time the last one was
// closed).
using AppWindowFactory = std::function<AppWindow(AppDelegate&)>;

struct AppWindowFactories {
    AppWindowFactory onboarding;
    AppWindowFactory editor;
    AppWindowFactory about;
    AppWindowFactory feedback;
    // Its object name should contain "Settings", or its title be "Settings" (findSettingsWindow).
    AppWindowFactory settings;
};

// A command-line verb answered by the running instance: the arguments after the program's name.
using CommandLineVerb = std::function<InstanceReply(const std::vector<std::string>& arguments)>;

// What the parts of the program that are linked in later attach to the delegate. Each may stay
// empty; the delegate then does what it can without it (nothing, or a log line).
struct AppHooks {
    // The keyboard layer: GlobalShortcuts, KeyboardSnapController and WorkspaceHotKeys. Its own
    // callbacks go straight to the targets: "Show Zones" to flashZones(true), a cycled layout to
    // flashZones(false) (it follows flashOnLayoutChange), the editor and restore to theirs.
    // KeyboardSnapController::registerShortcuts(): run once when the services start.
    std::function<void()> registerShortcuts;
    // WorkspaceHotKeys::syncShortcuts(): when the services start, after a workspace was created.
    std::function<void()> syncWorkspaceShortcuts;
    // WorkspaceHotKeys::removeShortcut(for:): when a workspace is deleted.
    std::function<void(const UUID&)> removeWorkspaceShortcut;

    // The menu bar: the status item (launch step 13), and the review invitation's alert, which
    // returns the user's answer (runReviewAlert in the program; unset, nothing is asked); it is
    // told whether this build has a review page to offer.
    std::function<void()> buildStatusItem;
    std::function<ReviewPrompt::Answer(bool hasReviewPage)> askReviewQuestion;

    // The integrations: updates, synchronisation (launch step 15) and the command-line verbs
    // answered for a later start, by their first argument. The URL commands, the actions' verbs and
    // the handles automation reads come from the composition above the shell (AppIntegrations):
    // `urlCommands` takes the URLs, `publishHandles` runs at launch step 14 and `withdrawHandles`
    // first thing when the delegate goes. handleURL, when set, takes URLs in place of urlCommands.
    // Each answers with why the URL's command failed (status 1), or nothing.
    std::function<InstanceReply(const std::string& url)> handleURL;
    std::function<InstanceReply(const std::string& url)> urlCommands;
    std::function<void()> publishHandles;
    std::function<void()> withdrawHandles;
    std::function<void()> checkForUpdates;
    std::function<void()> startCloudSync;
    std::map<std::string, CommandLineVerb> commandLineVerbs;
};

class AppDelegate final {
public:
    static constexpr std::chrono::milliseconds flashDuration{900};
    static constexpr std::chrono::milliseconds placedFlashDuration{700};
    static constexpr std::string_view onboardingDoneKey = "hasCompletedOnboarding";

    // Builds the state, the command table (all no-ops), the preferences and the zone service
    // ("layouts.json"), and the review prompt (which records when the program was first seen).
    AppDelegate(AppPlatform platform, AppWindowFactories windows = {}, AppHooks hooks = {});
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The launch sequence: fills the command table and the slots, starts the services when window
    // control is granted (else when the trust poll finds it), and shows onboarding unless it was
    // completed with window control granted.
    void launch();
    bool hasLaunched() const { return launched_; }
    // Starts what needs window control, once: global input, keyboard shortcuts, the display
    // observer, new-window placement and workspace hot keys. Does nothing without trust.
    void activateServices();
    bool servicesStarted() const { return servicesStarted_; }

    // A request of a later start: no argument reopens (onboarding), a "tessary:" URL goes to
    // handleGetURL, a known verb to its handler; anything else is "unknown command" with status 1.
    InstanceReply answer(const InstanceRequest& request);
    // A URL from outside; ignored when it is not one. Why its command failed, or nothing.
    InstanceReply handleGetURL(const std::string& url);
    // The user opened the program again while it runs.
    void reopen() { showOnboarding(); }

    // What quitting must not lose, by every way out: the window memory's pending save is written,
    // every document whose save failed is tried once more, and the overlay hidden. Safe to call
    // more than once; the services stay usable.
    void prepareToQuit();
    // Only the saves, for a way out where the display may be gone (no X requests). A document that
    // still cannot be saved is logged with what stays unsaved.
    void saveNow();
    // Another instance of the program (the user's, on another display) wrote the document file of
    // that name ("layouts.json"): the service that owns it takes it in, when it was built.
    void documentChangedOnDisk(std::string_view fileName);
    // Quit and the termination signals: whatever is open, what quitting must not lose is written,
    // every window of ours is hidden and every event loop ends, the nested ones (a modal alert or
    // prompt) too; the program then tears down in order. Qt's own quit() asks each window to close
    // first and gives up when one refuses, as a modal alert without a cancel button does.
    void quit();
    // Tells the user something they did not ask about (a notice outside the program's windows);
    // the text is logged whether or not anything can show it.
    void notifyUser(UserNotice notice);
    // A snap the user asked for by a shortcut, the tray or a URL, that failed: a window too large
    // for its zone, or one the window manager did not move there, is told in a notice (the rest
    // only reach the log, where the caller put them), snapFailureGrace later, unless another snap of
    // the same window is asked for meanwhile: the user's next try made it moot. A failure is
    // reported as its snap returns, so it is about the window the zone service was last asked to
    // move.
    void reportSnapFailure(const ZoneService::SnapError& error);
    static constexpr std::chrono::milliseconds snapFailureGrace{300};
    // A window's application as the user knows it: its desktop entry's name, else its identifier.
    std::string applicationName(const WindowInfo& info) const;
    // Whether quit() was asked for: one asked before the main loop runs keeps it from running.
    bool isQuitting() const { return quitting_; }
    // Tells the user of a document that could not be used as it is (damaged and set aside, written
    // by a newer version, too large), when it is worth telling, with the folder to open. Kept until
    // the launch has built the tray, where a notice can show without a notification server.
    void tellAboutDocument(const std::optional<DocumentTrouble>& trouble);
    // Tells the user that a document could not be saved, or is saved again; kept as above.
    void tellAboutSave(const SaveReport::Notice& notice);
    // A notice about a file, with "Open Folder" opening the folder that holds it.
    void notifyAboutFile(std::string title, std::string body, const std::filesystem::path& folder);

    // The command targets.
    void showEditor();
    void showOnboarding();
    // Every display's zones, briefly. Unforced, only when the user wants layout changes flashed.
    void flashZones(bool force);
    // The zones a new window was placed into, highlighted, on its display only.
    void showPlacedZones(const ZonePlacement& placement);
    void deleteWorkspace(const UUID& id);
    void workspacesChanged();
    void showAbout();
    void checkForUpdates();
    void showFeedback();
    void askForReview();
    // Asks for the section (none keeps the current one) and brings the settings window forward
    // after the current event.
    void showSettings(std::optional<SettingsSection> section);
    // The name prompt, modal; a second request while it is open raises it instead.
    void promptSaveWorkspace();
    // Brings a window of ours to the user (presentWindow: un-minimised, on the current desktop,
    // raised, focused); a missing one only logs.
    void presentWindowController(const AppWindow& window, std::string_view what);
    // The first window whose object name contains "Settings", else the first titled one whose
    // title is exactly "Settings".
    QWidget* findSettingsWindow() const;

    // The snap callbacks and the window filter.
    void didSnapWindow(const WindowHandle& window, const DisplayInfo& display, const std::vector<std::int64_t>& zones);
    void didEndDragWithoutSnap(const WindowHandle& window);
    // The zone service was asked to snap the window (by a shortcut, the tray, a URL or an action).
    void snapAsked(const WindowHandle& window);
    // The window filter, over the installed applications as they are now.
    bool isIgnoredWindow(const WindowInfo& window) const;

    // The objects, built on first use where lazy.
    AppState& state() { return *state_; }
    AppActions& actions() { return *actions_; }
    Preferences& preferences() { return *preferences_; }
    ZoneService& zones() { return *zones_; }
    OverlayController& overlay();
    DragSnapController& dragSnap();
    InputMonitor& inputMonitor();
    WindowMemoryService& memory();
    RuleService& rules();
    WorkspaceService& workspaces();
    DisplayChangeRestorer& displayRestorer();
    AXWindowObserver& windowObserver();
    NewWindowPlacer& newWindowPlacer();
    ReviewPrompt& reviewPrompt() { return *reviewPrompt_; }
    AppHooks& hooks() { return hooks_; }
    const AppPlatform& platform() const { return platform_; }

    // The windows made so far.
    QWidget* onboardingWindow() const { return onboarding_.window; }
    QWidget* editorWindow() const { return editor_.window; }
    QWidget* aboutWindow() const { return about_.window; }
    QWidget* feedbackWindow() const { return feedback_.window; }
    QWidget* settingsWindow() const { return settings_.window; }
    QWidget* savePrompt() const { return savePrompt_.data(); }

private:
    // On a first start (no drag key stored) beside a window manager that takes Shift-drag for
    // itself, Ctrl shows the zones and Super spans them (defaultDragKeys); stored at once.
    void chooseFirstDragKeys();
    const AppWindow& windowFrom(AppWindow& slot, const AppWindowFactory& factory);
    // After `window`, made for `slot`, was closed and released: its owner gives up what it said,
    // and the window is dropped if it is one of those made anew (see the top of the file).
    void closedWindowReleased(AppWindow& slot, const QWidget* window);
    static std::vector<DisplayInfo> displays();
    // Tries the document's failed saves again (SaveRetry), logging under the owner's category.
    void retrySaves(SaveReport& report, std::function<void()> saveAgain, std::string category);

    AppPlatform platform_;
    AppWindowFactories factories_;
    AppHooks hooks_;
    Logger log_{"AppDelegate"};

    std::unique_ptr<AppState> state_;
    std::unique_ptr<AppActions> actions_;
    std::unique_ptr<Preferences> preferences_;
    std::unique_ptr<ZoneService> zones_;
    std::unique_ptr<ReviewPrompt> reviewPrompt_;
    std::unique_ptr<OverlayController> overlay_;
    std::unique_ptr<DragSnapController> dragSnap_;
    // Tell the drag controller of new displays and layouts; they end before it does.
    std::vector<Subscription> dragSnapNotices_;
    std::unique_ptr<InputMonitor> inputMonitor_;
    std::unique_ptr<WindowMemoryService> memory_;
    std::unique_ptr<RuleService> rules_;
    std::unique_ptr<WorkspaceService> workspaces_;
    std::unique_ptr<DisplayChangeRestorer> displayRestorer_;
    std::unique_ptr<AXWindowObserver> windowObserver_;
    std::unique_ptr<NewWindowPlacer> newWindowPlacer_;
    // One for each document's saves, made with its service; they end before the services.
    std::vector<std::unique_ptr<SaveRetry>> saveRetries_;

    AppWindow onboarding_;
    AppWindow editor_;
    AppWindow about_;
    AppWindow feedback_;
    AppWindow settings_;
    QPointer<QWidget> savePrompt_;
    // Gives back what each window above holds once it is closed; it watches them, so it is
    // destroyed before them.
    ClosedWindowRelease closedWindows_{platform_.scheduler};
    ScheduledTask settingsRaise_;
    ScheduledTask snapFailureNotice_;
    // The window the zone service was last asked to snap, and the one the waiting notice is about.
    std::optional<WindowHandle> askedWindow_;
    std::optional<WindowHandle> noticeWindow_;

    bool launched_ = false;
    bool servicesStarted_ = false;
    bool quitting_ = false;
    // Documents to tell of once the tray is there.
    std::vector<DocumentTrouble> untoldDocuments_;
    std::vector<SaveReport::Notice> untoldSaves_;
    bool documentNoticesReady_ = false;
};

}  // namespace tessary
