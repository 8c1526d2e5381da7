// The tessary program: one instance per user and X display. A later start hands its arguments to
// the running instance, prints the reply and exits with its status; the instance itself shows its
// tray icon first, then builds the rest of the X11 back ends, the delegate and its services, runs
// the launch sequence, and only then answers later starts (and its own command line). It quits on SIGTERM, SIGINT or SIGHUP, on Quit, and when
// the X server goes away, each time writing what must not be lost first.

#include <QApplication>
#include <QDesktopServices>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QUrl>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <thread>

#include "Platform/InstanceMessage.h"
#include "Platform/Linux/AutostartLoginItems.h"
#include "Platform/Linux/DesktopApplicationLauncher.h"
#include "Platform/Linux/FolderSyncStore.h"
#include "Platform/Linux/FolderWatcher.h"
#include "Platform/Linux/JSONFileUserDefaults.h"
#include "Platform/Linux/ProcessMemory.h"
#include "Platform/Linux/SingleInstance.h"
#include "Platform/Linux/StderrLogSink.h"
#include "Platform/Linux/TerminationSignals.h"
#include "Platform/Linux/XDGDirectories.h"
#include "GlobalShortcuts/GlobalShortcuts.h"
#include "GlobalShortcuts/ui/MenuItemShortcut.h"
#include "GlobalShortcuts/ui/MenuShortcutSearch.h"
#include "GlobalShortcuts/ui/Recorder.h"
#include "Platform/Qt/DesktopNotices.h"
#include "Platform/Qt/InstanceServer.h"
#include "Platform/Qt/QtApplication.h"
#include "Platform/Qt/QtLocalEvents.h"
#include "Platform/Qt/QtEventPump.h"
#include "Platform/Qt/QtScheduler.h"
#include "Platform/Qt/StatusNotifierHost.h"
#include "Platform/X11/X11CompositorWatcher.h"
#include "Platform/X11/X11GlobalInput.h"
#include "Platform/X11/X11HotKeys.h"
#include "Platform/X11/X11KeyboardLayout.h"
#include "Platform/X11/X11Platform.h"
#include "Tessary/editor/ui/EditorTestQuery.h"
#include "Tessary/editor/ui/LayoutEditorWindowController.h"
#include "Tessary/integrations/CloudSync.h"
#include "Tessary/keyboard/HeldShortcutsNotice.h"
#include "Tessary/keyboard/KeyboardSnapController.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "Tessary/keyboard/ShortcutTitles.h"
#include "Tessary/keyboard/WorkspaceHotKeys.h"
#include "Tessary/integrations/SparkleConfiguration.h"
#include "Tessary/integrations/CommandLineVerbs.h"
#include "Tessary/integrations/SyncFolderSetting.h"
#include "Tessary/services/SaveReport.h"
#include "Tessary/services/SaveRetry.h"
#include "Tessary/integrations/UpdaterController.h"
#include "Tessary/integrations/ui/AboutWindowController.h"
#include "Tessary/integrations/ui/AppIntegrations.h"
#include "Tessary/integrations/ui/FeedbackWindowController.h"
#include "Tessary/integrations/ui/FeedbackTestVerb.h"
#include "Tessary/integrations/ui/SyncTestVerb.h"
#include "Tessary/settings/SettingsSelection.h"
#include "Tessary/settings/ui/SettingsTestQuery.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/shell/OnboardingModel.h"
#include "Tessary/shell/ui/AppDelegate.h"
#include "Tessary/shell/ui/ApplicationIdentity.h"
#include "Tessary/shell/ui/OnboardingView.h"
#include "Tessary/shell/StatusMenuModel.h"
#include "Tessary/shell/ui/ReviewAlert.h"
#include "Tessary/shell/ui/StatusItemController.h"
#include "Tessary/shell/ui/StatusMenuActions.h"
#include "Tessary/shell/ui/SymbolIcon.h"
#include "Tessary/shell/ui/TrayTestQuery.h"
#include "TessaryCore/TessaryPaths.h"
#include "WindowEngine/AXWindowEngine.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "WindowEngine/DisplayProvider.h"

using namespace tessary;

namespace {

// What an exit() from inside a library (Qt's, when its own X connection breaks) must still do.
AppDelegate* liveDelegate = nullptr;
SaveRetry* liveSettingsRetry = nullptr;
std::string liveSocket;
InstanceServer* liveServer = nullptr;

// Writes what must not be lost and removes the socket, at once. Safe to repeat.
void saveAndLeave() {
    if (liveDelegate) liveDelegate->saveNow();
    if (liveSettingsRetry) liveSettingsRetry->flush();
    if (!liveSocket.empty()) ::unlink(liveSocket.c_str());
}

void saveOnExit() {
    // exit() has already destroyed this thread's thread-local objects (the document writer keeps
    // its buffer in one); a fresh thread has its own.
    std::thread(saveAndLeave).join();
}

std::string programPath(const char* argv0) {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(argv0) : path.string();
}

// The onboarding window follows the shared state while it exists: a trust the poll finds, or launch
// at login switched elsewhere, shows at once. "Done" records that onboarding was completed.
AppWindow onboardingWindow(AppDelegate& delegate, UserDefaults& defaults) {
    struct Owner {
        std::unique_ptr<OnboardingWindowController> controller;
        Subscription stateWatch;  // ends first: it reaches the controller
    };
    AppState& state = delegate.state();
    auto model = [&state] {
        return OnboardingModel{state.accessibilityTrusted(), state.launchAtLogin(),
                               AccessibilityPermission::settingsURL().value_or("")};
    };
    OnboardingView::Actions actions{
        [&state] { state.refreshAccessibility(); },
        [&state] { state.requestAccessibility(); },
        [&state](bool enabled) { state.setLaunchAtLogin(enabled); },
        [](const std::string& url) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); },
        [&defaults] { defaults.set(OnboardingModel::completedKey, true); },
    };
    auto owner = std::make_shared<Owner>();
    owner->controller = std::make_unique<OnboardingWindowController>(std::move(actions), model());
    OnboardingWindowController* controller = owner->controller.get();
    owner->stateWatch = state.observe([controller, model](AppStateField) { controller->setModel(model()); });
    return AppWindow{owner, controller->window(), [controller] { controller->show(); }};
}

// The tray icon and its menu, rebuilt from the delegate's state at every opening; a chosen item acts
// through the command table and the services, as the menu showed them.
// A notice as the tray icon's message, its action taken by a click on the message; false where the
// icon is not on a tray that shows messages.
bool showTrayMessage(QSystemTrayIcon* tray, const UserNotice& notice) {
    if (!tray || !tray->isVisible() || !QSystemTrayIcon::supportsMessages()) return false;
    // Only the newest message can be clicked: an older one's action goes with it.
    QObject::disconnect(tray, &QSystemTrayIcon::messageClicked, nullptr, nullptr);
    if (notice.action) {
        auto action = std::make_shared<std::function<void()>>(notice.action);
        QObject::connect(tray, &QSystemTrayIcon::messageClicked, tray, [tray, action] {
            QObject::disconnect(tray, &QSystemTrayIcon::messageClicked, nullptr, nullptr);
            if (*action) (*action)();
        });
    }
    tray->showMessage(QString::fromStdString(notice.title), QString::fromStdString(notice.body), tray->icon());
    return true;
}

// What the tray icon's menu reads and acts through; the icon shows before they exist, and a menu
// opens only once the loop takes the user's clicks, after the launch.
struct TrayTargets {
    AppDelegate* delegate = nullptr;
    GlobalShortcuts* shortcuts = nullptr;
    UpdaterController* updater = nullptr;
};

std::unique_ptr<StatusItemController> makeStatusItem(const TrayTargets& targets) {
    StatusItemController::Hooks hooks;
    hooks.readInputs = [&targets] {
        StatusMenuInputs inputs;
        if (!targets.delegate || !targets.updater) return inputs;
        AppDelegate& delegate = *targets.delegate;
        const UpdaterController& updater = *targets.updater;
        delegate.state().refreshAccessibility();
        inputs.windowControlGranted = delegate.state().accessibilityTrusted();
        inputs.displays = DisplayProvider::displays();
        inputs.library = delegate.zones().library();
        inputs.workspaces = delegate.workspaces().library();
        inputs.offerReview = delegate.reviewPrompt().shouldOffer();
        inputs.pendingUpdateVersion = updater.pendingUpdateVersion();
        inputs.updaterConfigured = updater.isConfigured();
        inputs.updaterCanCheck = updater.controller() && updater.controller()->canCheckForUpdates();
        return inputs;
    };
    hooks.perform = [&targets](const MenuAction& action) {
        if (targets.delegate) performStatusMenuAction(*targets.delegate, action);
    };
    hooks.bindShortcut = [&targets](QAction* action, const GlobalShortcuts::Name& name) {
        if (targets.shortcuts) bindMenuItemShortcut(*targets.shortcuts, action, name);
    };
    // Qt picks the tray protocol itself: D-Bus when a StatusNotifier host runs (its menu then
    // carries plain items only), else XEmbed (trayer, X11 panels), which shows widget rows.
    hooks.statusNotifierHost = statusNotifierHostRunning;
    return std::make_unique<StatusItemController>(std::move(hooks));
}

// What succeeded is the answer asked for (a list, a count): standard output; the rest is why not,
// and a note (why a list is empty) goes beside it on standard error.
void printReply(const InstanceReply& reply) {
    if (!reply.text.empty()) std::fprintf(reply.status == 0 ? stdout : stderr, "%s\n", reply.text.c_str());
    if (!reply.note.empty()) std::fprintf(stderr, "%s\n", reply.note.c_str());
}

// The instance's folder: $XDG_RUNTIME_DIR's, else one in /tmp that every start of the user's finds.
Expected<InstanceLocation, std::string> locateInstance(const std::string& display, const Logger& log) {
    auto location = InstanceLocation::locate(XDGDirectories::runtimeDirectory(), display);
    if (location) return location;
    auto fallback = InstanceLocation::locate(InstanceLocation::fallbackRuntimeDirectory(), display);
    if (!fallback) return unexpected(location.error() + "; " + fallback.error());
    log.debug("No runtime folder (" + location.error() + "): the instance is found in " + fallback->folder.string());
    return fallback;
}

// An action asked of an instance that does not run: answered here from the stored documents and
// the displays of the X server when it can be reached, or "not running"; the program is not
// started for it.
int answerWithoutInstance(const InstanceRequest& request) {
    auto platform = X11Platform::open();
    if (platform) DisplayProvider::setScreens(&platform->screens());
    const InstanceReply reply = CommandLineVerbs::runWithoutInstance(
        request.arguments.front(), std::vector<std::string>(request.arguments.begin() + 1, request.arguments.end()),
        {TessaryPaths::layoutsURL(), TessaryPaths::workspacesURL()});
    DisplayProvider::setScreens(nullptr);
    printReply(reply);
    return reply.status;
}

// What a start may hand on besides an action: a tessary: URL, in any letter case (the instance
// judges the rest of it), and under the end-to-end switch the tests' own verbs.
bool isRequestForInstance(const std::string& argument) {
    static constexpr std::string_view scheme = "tessary:";
    if (argument.size() >= scheme.size() &&
        std::equal(scheme.begin(), scheme.end(), argument.begin(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
        return true;
    }
    return std::getenv("TESSARY_E2E") && argument.ends_with("-test");
}

}  // namespace

int main(int argc, char** argv) {
    ProcessMemory::keepLargeBlocksOffTheHeap();
    ProcessMemory::shareOneHeap();
    StderrLogSink sink;
    Logger::setSink(&sink);
    Logger log("Tessary");

    InstanceRequest request;
    for (int i = 1; i < argc; ++i) request.arguments.emplace_back(argv[i]);
    if (!request.arguments.empty() && CommandLineVerbs::isHelp(request.arguments.front())) {
        printReply({CommandLineVerbs::helpText(), 0});
        return 0;
    }
    const bool isAction = !request.arguments.empty() && CommandLineVerbs::isVerb(request.arguments.front());
    // A mistyped action or option never starts the program, nor reaches a running one.
    if (!request.arguments.empty() && !isAction && !isRequestForInstance(request.arguments.front())) {
        const InstanceReply reply = CommandLineVerbs::run(request.arguments.front(), {});
        printReply(reply);
        return reply.status;
    }
    if (const char* startup = std::getenv("DESKTOP_STARTUP_ID")) request.startupID = startup;

    // Without a display there is nothing to run on, and no instance of this display to hand over to.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fputs("tessary: no X display ($DISPLAY is not set)\n", stderr);
        return 1;
    }
    std::optional<InstanceLock> lock;
    if (auto location = locateInstance(display, log)) {
        auto outcome = InstanceClient::becomeOrForward(*location, request);
        if (auto* reply = std::get_if<InstanceReply>(&outcome)) {
            printReply(*reply);
            return reply->status;
        }
        if (auto* error = std::get_if<ForwardError>(&outcome)) {
            std::fprintf(stderr, "tessary: cannot reach the running instance: %s\n", error->description.c_str());
            return 1;
        }
        lock = std::move(std::get<InstanceLock>(outcome));
        if (isAction) return answerWithoutInstance(request);
    } else {
        if (isAction) return answerWithoutInstance(request);
        log.error("No single-instance socket (" + location.error() + "): later starts will not find this one");
    }

    // Our own arguments are commands, not Qt's; Qt sees the program name only.
    int qtArgc = 1;
    QtApplication application(qtArgc, argv);
    // The icon's window in the tray needs no window icon: every size of it would be read first.
    nameApplication(WindowIcon::later);
    application.setQuitOnLastWindowClosed(false);
    auto platform = X11Platform::open();
    if (!platform) {
        std::fputs("tessary: cannot connect to the X server\n", stderr);
        return 1;
    }
    DisplayProvider::setScreens(&platform->screens());
    AccessibilityPermission::setAccessibility(&platform->accessibility());
    QtScheduler scheduler;
    X11GlobalInput input(platform->connection(), &scheduler);
    // Presses are selected before the icon shows: one made while the documents load waits in the
    // connection, which is read only once the launch is done, and reaches the drag controller then.
    Subscription pressesDuringStart =
        AccessibilityPermission::isTrusted() ? input.addMonitor([](const GlobalInputEvent&) {}) : Subscription();

    // The tray icon first: the user sees the program has started while it loads the rest.
    TrayTargets trayTargets;
    std::unique_ptr<StatusItemController> statusItem = makeStatusItem(trayTargets);
    statusItem->awaitShown(scheduler, std::chrono::milliseconds(500));

    giveWindowsTheIcon();
    adoptFallbackIconTheme();
    bool serverGone = false;
    auto processX = [&](X11Connection::Read read) {
        const bool alive = platform->processPendingEvents(read);
        if (!alive && !serverGone) {
            serverGone = true;
            log.notice("The X server is gone; quitting");
            // Its own removal must not look like someone else's, which it would answer by listening anew.
            if (liveServer) liveServer->close();
            // Qt's own connection may notice next and exit() from inside the loop. No window is
            // asked to close (there is no display to close it on): every loop just ends.
            saveAndLeave();
            QMetaObject::invokeMethod(&application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        }
        return alive;
    };
    QtEventPump pump(
        platform->fileDescriptor(), [&] { return processX(X11Connection::Read::socket); },
        [&] { return processX(X11Connection::Read::queuedOnly); });

    JSONFileUserDefaults defaults(JSONFileUserDefaults::defaultPath());
    // Settings that cannot be written are told as the documents are, once there is someone to tell.
    SaveReport settingsSaves("settings", "Cannot save the settings: ");
    defaults.onWriteOutcome = [&defaults, &settingsSaves, &log](const std::optional<std::string>& failure) {
        using Code = DocumentStoreError::Code;
        if (!failure) return settingsSaves.record({}, log);
        settingsSaves.record(unexpected(DocumentStoreError{Code::writeFailed, defaults.path(), *failure}), log);
    };
    // Settings changed while they could not be written reach the file once it can be.
    SaveRetry settingsRetry(settingsSaves, [&defaults] { defaults.writeAgain(); }, scheduler, Logger("UserDefaults"));
    liveSettingsRetry = &settingsRetry;
    AutostartLoginItems loginItems(AutostartLoginItems::defaultEntryPath(), programPath(argv[0]),
                                   AutostartLoginItems::systemEntryPaths());
    X11KeyboardLayout keyboard(platform->connection());
    X11HotKeys hotKeys(platform->connection(), keyboard);
    QtLocalEvents localEvents(keyboard);
    GlobalShortcuts shortcuts({defaults, hotKeys, keyboard, localEvents, scheduler});
    trayTargets.shortcuts = &shortcuts;
    DesktopApplicationLauncher launcher;
    auto engine = std::make_shared<AXWindowEngine>(platform->accessibility(), platform->workspace());
    X11CompositorWatcher compositor(platform->connection());

    // The windows of ours that exist so far; the others take the delegate's "no window" path.
    AppWindowFactories windows;
    windows.onboarding = [&defaults](AppDelegate& delegate) { return onboardingWindow(delegate, defaults); };
    // The editor once made, for the end-to-end tests' "editor-test" verb.
    std::weak_ptr<LayoutEditorWindowController> editorForTests;
    // The URL commands, the actions and automation, made over the delegate once it exists.
    std::unique_ptr<AppIntegrations> integrations;
    windows.editor = [&scheduler, &editorForTests, &integrations](AppDelegate& delegate) {
        auto controller = std::make_shared<LayoutEditorWindowController>(delegate.zones(), delegate.overlay(), scheduler);
        editorForTests = controller;
        // "tessary://editor?new=1" opens the new-layout sheet through the editor's model.
        if (integrations) {
            integrations->urlCommands().editorModel = [weak = std::weak_ptr(controller)]() -> LayoutEditorModel* {
                const auto editor = weak.lock();
                return editor ? &editor->model() : nullptr;
            };
        }
        return AppWindow{controller, controller->window(), [controller = controller.get()] { controller->show(); }};
    };
    windows.about = [](AppDelegate& delegate) {
        AppActions& actions = delegate.actions();
        auto controller = std::make_shared<AboutWindowController>(
            AboutActions{[&actions] { actions.showReleaseNotes(); }, [&actions] { actions.sendFeedback(); }, nullptr});
        AboutWindowController* made = controller.get();
        return AppWindow{controller, made->window(), [made] { made->show(); }, {}, [made] { made->releaseContents(); }};
    };
    // The settings window is built on each opening; what it shows next lives on in the selection,
    // which outlives the delegate that destroys the last window. This build has no update
    // framework, so the updater stays unconfigured and says so.
    UpdaterController updater(SparkleConfiguration::fromBuildOptions(), nullptr);
    trayTargets.updater = &updater;
    std::unique_ptr<SettingsSelection> settingsSelection;
    SettingsHooks settingsHooks;
    // A name of the program's keeps its default; any other (a workspace's) has none.
    settingsHooks.makeRecorder = [&shortcuts](const std::string& name, QWidget* parent) -> QWidget* {
        return new Recorder(shortcuts, ShortcutNames::named(name), QString(), nullptr, parent);
    };
    settingsHooks.resetShortcuts = [&shortcuts](const std::vector<std::string>& names) {
        std::vector<GlobalShortcuts::Name> list;
        for (const std::string& name : names) list.push_back(ShortcutNames::named(name));
        shortcuts.reset(list);
    };
    CloudSync* liveCloudSync = nullptr;
    const std::optional<std::filesystem::path> syncFolderInUse = SyncFolderSetting::read(defaults);
    windows.settings = [&](AppDelegate& delegate) {
        if (!settingsSelection) settingsSelection = std::make_unique<SettingsSelection>(delegate.state());
        return AppWindow::of(std::make_unique<SettingsWindow>(
            SettingsContext{delegate.state(), delegate.preferences(), delegate.actions(), *settingsSelection, &updater,
                            settingsHooks, &defaults, [&liveCloudSync] { return liveCloudSync; }, syncFolderInUse, &launcher,
                            &platform->workspace(), &delegate.rules(), &delegate.zones(),
                            &delegate.workspaces()}));
    };
    windows.feedback = [&scheduler](AppDelegate&) {
        std::shared_ptr<FeedbackWindowController> controller = FeedbackWindowController::make(scheduler);
        FeedbackWindowController* made = controller.get();
        return AppWindow{controller, made->window(), [made] { made->show(); }, [made] {
                             const FeedbackModel::Phase phase = made->model().phase();
                             return phase == FeedbackModel::Phase::sending || phase == FeedbackModel::Phase::failed;
                         }};
    };

    FolderSyncStore syncStore(SyncFolderSetting::read(defaults), scheduler);
    std::optional<QtEventPump> syncWatcher;
    if (syncStore.fileDescriptor() >= 0) {
        syncWatcher.emplace(syncStore.fileDescriptor(), [&syncStore] { return syncStore.processEvents(); },
                            QtEventPump::WhenReadableOnly{});
    }

    int status = 0;
    {
        // Notices go to the desktop's notification server; without one, to the tray icon's balloon.
        DesktopNotices notices([&statusItem](const UserNotice& notice) {
            return statusItem && showTrayMessage(statusItem->trayIcon(), notice);
        });
        AppDelegate delegate(AppPlatform{platform->accessibility(), platform->workspace(), platform->screens(), input,
                                         launcher, defaults, loginItems, scheduler, engine,
                                         [&compositor] { return compositor.isCompositing(); }, &notices},
                             std::move(windows));
        liveDelegate = &delegate;
        trayTargets.delegate = &delegate;
        integrations = std::make_unique<AppIntegrations>(delegate);

        // The keyboard layer: the shortcuts act on the delegate's services and end before them. A
        // cycled layout flashes only with flashOnLayoutChange on; "Show Zones" always does.
        KeyboardSnapController keyboardSnap(shortcuts, delegate.zones(), input, [] { return DisplayProvider::displays(); },
                                            scheduler);
        keyboardSnap.onShowZones = [&delegate] { delegate.flashZones(true); };
        keyboardSnap.onLayoutCycled = [&delegate] { delegate.flashZones(false); };
        keyboardSnap.onOpenEditor = [&delegate] { delegate.showEditor(); };
        keyboardSnap.onRestoreAll = [&delegate] { delegate.memory().restoreAll(); };
        keyboardSnap.onSnapFailed = [&delegate](const ZoneService::SnapError& error) { delegate.reportSnapFailure(error); };
        WorkspaceHotKeys workspaceHotKeys(shortcuts, delegate.workspaces());
        // What a recorder calls the shortcut it would take from another name: its pane row, or
        // the workspace it restores.
        shortcuts.nameTitle = [&delegate](const GlobalShortcuts::Name& name) -> std::optional<std::string> {
            if (std::string title = shortcutTitle(name.rawValue); !title.empty()) return title;
            for (const Workspace& workspace : delegate.workspaces().library().workspaces) {
                if (WorkspaceHotKeys::shortcutName(workspace.id).rawValue == name.rawValue) return workspace.name;
            }
            return std::nullopt;
        };
        delegate.hooks().askReviewQuestion = runReviewAlert;
        if (EditorTestQuery::enabled()) {
            delegate.hooks().commandLineVerbs["editor-test"] = [&editorForTests](const std::vector<std::string>& arguments) {
                return EditorTestQuery::answer(editorForTests.lock().get(), arguments);
            };
        }
        // Updates: the one updater made before the delegate, which the settings window shares.
        delegate.hooks().checkForUpdates = [&updater] { updater.checkForUpdates(); };
        // The icon shows already; the launch gives it what follows the services.
        delegate.hooks().buildStatusItem = [&] {
            // Recorders refuse the keys the menu acts on.
            setMainMenu(statusItem->programKeys());
            updater.onPendingUpdateChange = [&] { statusItem->updateStatusButton(updater.pendingUpdateVersion().has_value()); };
            statusItem->updateStatusButton(updater.pendingUpdateVersion().has_value());
        };
        delegate.hooks().registerShortcuts = [&keyboardSnap, &shortcuts, &defaults, &delegate] {
            keyboardSnap.registerShortcuts();
            // Defaults another program holds do nothing; said once, with the way to other ones.
            if (auto held = heldShortcutsNotice(shortcuts, defaults)) {
                delegate.notifyUser(UserNotice{held->title, held->body, held->actionLabel,
                                               [&delegate] { delegate.showSettings(SettingsSection::shortcuts); }});
            }
        };
        delegate.hooks().syncWorkspaceShortcuts = [&workspaceHotKeys] { workspaceHotKeys.syncShortcuts(); };
        delegate.hooks().removeWorkspaceShortcut = [&workspaceHotKeys](const UUID& id) {
            workspaceHotKeys.removeShortcut(id);
        };

        // The one synchronisation, made and started by the launch sequence over its services; it
        // ends before them.
        std::unique_ptr<CloudSync> cloudSync;
        delegate.hooks().startCloudSync = [&] {
            Preferences& preferences = delegate.preferences();
            cloudSync = std::make_unique<CloudSync>(
                syncStore, delegate.zones(), delegate.rules(), delegate.workspaces(),
                [&preferences] { return preferences.iCloudSyncEnabled(); },
                syncStore.isUsable() ? CloudSync::Availability::available : CloudSync::Availability::missingEntitlement,
                scheduler);
            // Told once for each file set aside: the copy is the only trace of what it held.
            cloudSync->onSetAside = [&delegate, &syncStore](const std::string& key, const std::string& copy) {
                delegate.notifyAboutFile(
                    DocumentTrouble::aboutFile("%1 in the sync folder was set aside", key),
                    DocumentTrouble::aboutFile(
                        "It could not be read, so its contents were kept as %1 and this machine's copy took its place.",
                        copy),
                    syncStore.folder());
            };
            cloudSync->start();
            liveCloudSync = cloudSync.get();
        };
        if (SyncTestVerb::isWanted()) {
            SyncTestVerb::install(delegate, [&cloudSync] { return cloudSync.get(); });
            FeedbackTestVerb::install(delegate, scheduler);
        }

        // Saving a workspace from the settings window must not capture that window.
        delegate.workspaces().ownProcess = static_cast<ProcessID>(::getpid());

        // The end-to-end tests' window into the settings window.
        if (std::getenv("TESSARY_E2E")) delegate.hooks().commandLineVerbs["settings-test"] = settingsTestVerb(delegate);
        if (std::getenv("TESSARY_E2E")) {
            delegate.hooks().commandLineVerbs["tray-test"] = trayTestVerb([&statusItem] { return statusItem.get(); });
        }

        TerminationSignals signals;
        QSocketNotifier signalNotifier(signals.fileDescriptor(), QSocketNotifier::Read);
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
            log.notice("Signal " + std::to_string(signals.take()) + " received; quitting");
            delegate.quit();
        });

        delegate.launch();
        // The services listen now (or wait for window control, when they need not hear a press).
        pressesDuringStart.reset();
        // What an instance on another display of the user's writes to the shared documents and
        // settings is taken in as soon as it is written.
        const std::filesystem::path dataFolder = TessaryPaths::folder();
        FolderWatcher sharedFolders(
            {dataFolder, defaults.path().parent_path()}, scheduler,
            [&](const std::filesystem::path& folder, const std::set<std::string>& names) {
                if (folder == dataFolder) {
                    for (const std::string& name : names) delegate.documentChangedOnDisk(name);
                } else if (names.contains(defaults.path().filename().string())) {
                    defaults.takeOutsideChanges();
                }
            });
        std::optional<QtEventPump> sharedFoldersPump;
        if (sharedFolders.fileDescriptor() >= 0) {
            sharedFoldersPump.emplace(sharedFolders.fileDescriptor(), [&sharedFolders] { return sharedFolders.processEvents(); },
                                      QtEventPump::WhenReadableOnly{});
        }
        // The settings file is read before the delegate exists: its damage is told once there is one.
        if (const auto& aside = defaults.setAside()) {
            DocumentStoreError damaged{DocumentStoreError::Code::decodingFailed, defaults.path(), {}};
            damaged.copy = aside->path;
            damaged.newCopy = aside->isNew;
            delegate.tellAboutDocument(DocumentTrouble{damaged, ZoneService::localized("its settings at their defaults")});
        }
        if (const auto& unread = defaults.readFailure()) {
            const bool tooLarge = *unread == std::make_error_code(std::errc::file_too_large);
            DocumentStoreError failed{tooLarge ? DocumentStoreError::Code::tooLarge : DocumentStoreError::Code::readFailed,
                                      defaults.path(), tooLarge ? std::string() : unread->message()};
            std::error_code ignored;
            if (tooLarge) failed.size = std::filesystem::file_size(defaults.path(), ignored);
            delegate.tellAboutDocument(DocumentTrouble{failed, ZoneService::localized("its settings at their defaults")});
        }
        settingsSaves.setOnNotice([&delegate](const SaveReport::Notice& notice) { delegate.tellAboutSave(notice); });
        // Registered after the launch built the services, so that what saving uses was made before
        // it and is destroyed after it runs.
        std::atexit(saveOnExit);

        // Requests are taken only now: a URL run before the launch sequence would move windows the
        // filter does not know yet, and its snap would reach no window memory.
        std::optional<InstanceServer> server;
        if (lock) {
            server.emplace(std::move(*lock), scheduler);
            if (server->start([&delegate](const InstanceRequest& r) { return delegate.answer(r); })) {
                liveSocket = server->location().socket.string();
                liveServer = &*server;
            }
        }
        if (!request.arguments.empty()) {
            // The limit a forwarded request meets holds for the first start's own as well.
            if (InstanceMessage::encode(request).size() >= InstanceMessage::maximumSize) {
                log.error("Refused a request larger than " + std::to_string(InstanceMessage::maximumSize / 1024) + " kB");
                printReply(InstanceServer::oversizedReply());
            } else {
                printReply(delegate.answer(request));
            }
        }

        // A quit asked for before now (inside a loop the launch or the arguments ran) still holds.
        if (!delegate.isQuitting() && !serverGone) status = application.exec();
        log.notice("Quitting");
        delegate.prepareToQuit();
        settingsRetry.flush();
        if (cloudSync) cloudSync->flush();
        liveServer = nullptr;
        server.reset();
        liveCloudSync = nullptr;
        updater.onPendingUpdateChange = nullptr;
        statusItem.reset();
        trayTargets = {};
        cloudSync.reset();
        shortcuts.nameTitle = [](const GlobalShortcuts::Name&) { return std::nullopt; };
        liveSocket.clear();
        liveDelegate = nullptr;
        integrations.reset();
        // The delegate goes with this scope; a later failure to write the settings is only logged.
        settingsSaves.setOnNotice(nullptr);
    }
    liveSettingsRetry = nullptr;
    AccessibilityPermission::setAccessibility(nullptr);
    DisplayProvider::setScreens(nullptr);
    return status;
}
