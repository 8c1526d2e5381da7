#include "Tessary/shell/ui/AppDelegate.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QScreen>
#include <QUrl>

#include <chrono>
#include <utility>

#include "Tessary/shell/AppLinks.h"
#include "Tessary/shell/ui/LinkOpener.h"
#include "Tessary/shell/ui/AppAppearance.h"
#include "Tessary/shell/ui/SaveWorkspacePrompt.h"
#include "Tessary/shell/ui/WindowCentring.h"
#include "Tessary/shell/ui/WindowPresentation.h"
#include "TessaryCore/TessaryInfo.h"
#include "TessaryCore/TessaryPaths.h"
#include "WindowEngine/AXWindowEngine.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

std::string describe(const QRect& rect) {
    return "{{" + std::to_string(rect.x()) + ", " + std::to_string(rect.y()) + "}, {" + std::to_string(rect.width()) +
           ", " + std::to_string(rect.height()) + "}}";
}

// A window of ours that a user sees as a window: not a popup, tooltip, overlay or frameless panel.
bool isTitledWindow(const QWidget* widget) {
    if (!widget->isWindow()) return false;
    const Qt::WindowType type = widget->windowType();
    if (type != Qt::Window && type != Qt::Dialog) return false;
    return !(widget->windowFlags() & (Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint));
}

bool looksLikeURL(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return false;
    }
    return true;
}

}  // namespace

AppDelegate::AppDelegate(AppPlatform platform, AppWindowFactories windows, AppHooks hooks)
    : platform_(std::move(platform)), factories_(std::move(windows)), hooks_(std::move(hooks)) {
    state_ = std::make_unique<AppState>(platform_.loginItems, platform_.scheduler);
    if (WindowManagerInfo* windowManager = platform_.windowManager) {
        state_->windowManagerName = [windowManager] { return windowManager->name(); };
    }
    actions_ = std::make_unique<AppActions>();
    preferences_ = std::make_unique<Preferences>(platform_.defaults);
    preferences_->appearanceHandler = applyAppearance;
    zones_ = std::make_unique<ZoneService>(platform_.engine, JSONDocumentStore<LayoutLibrary>(TessaryPaths::layoutsURL()));
    zones_->applicationName = [this](const WindowInfo& info) { return applicationName(info); };
    zones_->applications = [&launcher = platform_.launcher] { return launcher.applicationIndex(); };
    tellAboutDocument(zones_->documentTrouble());
    zones_->saveReport().setOnNotice([this](const SaveReport::Notice& notice) { tellAboutSave(notice); });
    retrySaves(zones_->saveReport(), [this] { zones_->saveAgain(); }, "ZoneService");
    reviewPrompt_ = std::make_unique<ReviewPrompt>(platform_.defaults, [] {
        return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    });
}

AppDelegate::~AppDelegate() {
    // Whoever still holds the table or the state reaches nothing from here on.
    actions_->reset();
    state_->onAccessibilityGranted = nullptr;
    if (hooks_.withdrawHandles) hooks_.withdrawHandles();
    platform_.scheduler.cancel(settingsRaise_);
    platform_.scheduler.cancel(snapFailureNotice_);
    if (savePrompt_) savePrompt_->close();
}

std::vector<DisplayInfo> AppDelegate::displays() { return DisplayProvider::displays(); }

// --- Lazily built services -------------------------------------------------------------------------

OverlayController& AppDelegate::overlay() {
    if (!overlay_) {
        overlay_ = std::make_unique<OverlayController>(*preferences_, platform_.scheduler);
        overlay_->isCompositing = platform_.isCompositing;
        overlay_->afterIdleRelease = [this] {
            ClosedWindowRelease::returnFreedMemory();
            log_.debug("idle overlay released");
        };
    }
    return *overlay_;
}

DragSnapController& AppDelegate::dragSnap() {
    if (!dragSnap_) {
        dragSnap_ = std::make_unique<DragSnapController>(
            *platform_.engine, *preferences_, overlay(), displays,
            [this](const DisplayInfo& display) { return zones_->zones(display); }, platform_.scheduler);
        dragSnap_->applicationName = [this](const WindowInfo& info) { return applicationName(info); };
        // It keeps the displays and zones of a drag; these say when they changed.
        DragSnapController& controller = *dragSnap_;
        dragSnapNotices_.push_back(zones_->observe([&controller] { controller.layoutChanged(); }));
        dragSnapNotices_.push_back(platform_.screens.onChange([&controller] { controller.layoutChanged(); }));
    }
    return *dragSnap_;
}

InputMonitor& AppDelegate::inputMonitor() {
    if (!inputMonitor_) inputMonitor_ = std::make_unique<InputMonitor>(platform_.input, dragSnap());
    return *inputMonitor_;
}

WindowMemoryService& AppDelegate::memory() {
    if (!memory_) {
        memory_ = std::make_unique<WindowMemoryService>(
            *zones_, displays, JSONDocumentStore<WindowPlacementMemory>(TessaryPaths::memoryURL()), platform_.scheduler);
        tellAboutDocument(memory_->documentTrouble());
        memory_->saveReport().setOnNotice([this](const SaveReport::Notice& notice) { tellAboutSave(notice); });
        retrySaves(memory_->saveReport(), [this] { memory_->saveAgain(); }, "WindowMemory");
    }
    return *memory_;
}

RuleService& AppDelegate::rules() {
    if (!rules_) {
        rules_ = std::make_unique<RuleService>(*zones_, displays, JSONDocumentStore<RuleSet>(TessaryPaths::rulesURL()));
        tellAboutDocument(rules_->documentTrouble());
        rules_->saveReport().setOnNotice([this](const SaveReport::Notice& notice) { tellAboutSave(notice); });
        retrySaves(rules_->saveReport(), [this] { rules_->saveAgain(); }, "Rules");
    }
    return *rules_;
}

WorkspaceService& AppDelegate::workspaces() {
    if (!workspaces_) {
        workspaces_ = std::make_unique<WorkspaceService>(
            *zones_, displays, JSONDocumentStore<WorkspaceLibrary>(TessaryPaths::workspacesURL()),
            platform_.applications, platform_.launcher, platform_.scheduler);
        tellAboutDocument(workspaces_->documentTrouble());
        workspaces_->saveReport().setOnNotice([this](const SaveReport::Notice& notice) { tellAboutSave(notice); });
        retrySaves(workspaces_->saveReport(), [this] { workspaces_->saveAgain(); }, "Workspaces");
    }
    return *workspaces_;
}

DisplayChangeRestorer& AppDelegate::displayRestorer() {
    if (!displayRestorer_) {
        Preferences& preferences = *preferences_;
        displayRestorer_ = std::make_unique<DisplayChangeRestorer>(
            memory(), [&preferences] { return preferences.restoreOnDisplayChange(); }, platform_.scheduler);
    }
    return *displayRestorer_;
}

AXWindowObserver& AppDelegate::windowObserver() {
    if (!windowObserver_) {
        windowObserver_ =
            std::make_unique<AXWindowObserver>(platform_.accessibility, platform_.applications, platform_.scheduler);
    }
    return *windowObserver_;
}

NewWindowPlacer& AppDelegate::newWindowPlacer() {
    if (!newWindowPlacer_) {
        Preferences& preferences = *preferences_;
        newWindowPlacer_ = std::make_unique<NewWindowPlacer>(
            windowObserver(), memory(), [&preferences] { return preferences.moveNewWindowsToLastZone(); },
            [this](const WindowInfo& window) { return isIgnoredWindow(window); },
            *platform_.engine, platform_.scheduler);
    }
    return *newWindowPlacer_;
}

bool AppDelegate::isIgnoredWindow(const WindowInfo& window) const {
    return preferences_->isIgnoredWindow(window, *zones_->applicationIndex());
}

std::string AppDelegate::applicationName(const WindowInfo& info) const {
    if (!info.bundleIdentifier || info.bundleIdentifier->empty()) return "The window";
    const auto index = zones_->applicationIndex();
    if (const InstalledApplication* installed = index->entryFor(info.application())) {
        if (!installed->name.empty()) return installed->name;
    }
    return *info.bundleIdentifier;
}

void AppDelegate::reportSnapFailure(const ZoneService::SnapError& error) {
    using Code = ZoneService::SnapError::Code;
    UserNotice notice;
    if (error.centredInZone()) {
        // A fixed-size window centred in the zone, as the setting asks: nothing went wrong.
        return;
    } else if (error.doesNotFit()) {
        notice = {"Window too large for this zone",
                  error.description() + ". Choose a larger zone, or give this display a layout with larger zones.",
                  "Edit Layouts…", [this] { showEditor(); }};
    } else if (error.code == Code::rejected || error.code == Code::noWindowManager) {
        // The window manager kept the window where it is: the user sees nothing happen otherwise.
        std::string reason = error.description();
        if (!reason.empty()) reason.front() = char(std::toupper(static_cast<unsigned char>(reason.front())));
        notice = {"Window not moved into the zone", reason + ".", {}, {}};
    } else {
        return;
    }
    // One notice at most, about the latest failure: a second shortcut pressed right after the
    // first is handled only once the first snap ended.
    platform_.scheduler.cancel(snapFailureNotice_);
    noticeWindow_ = askedWindow_;
    snapFailureNotice_ = platform_.scheduler.schedule(snapFailureGrace, [this, notice = std::move(notice)]() mutable {
        snapFailureNotice_ = {};
        notifyUser(std::move(notice));
    });
}

void AppDelegate::snapAsked(const WindowHandle& window) {
    askedWindow_ = window;
    // The user tried the window again: the failure's notice would come after the new try began,
    // and may come after it ended, about a zone the window is no longer meant for.
    if (noticeWindow_ == window) platform_.scheduler.cancel(std::exchange(snapFailureNotice_, {}));
}

// --- Launch ----------------------------------------------------------------------------------------

void AppDelegate::launch() {
    if (launched_) return;
    preferences_->applyAppearance();
    if (auto* engine = dynamic_cast<AXWindowEngine*>(platform_.engine.get())) {
        Preferences& preferences = *preferences_;
        engine->centersWindowsThatCannotFill = [&preferences] { return preferences.centerUnresizableWindows(); };
    }
    state_->refreshAccessibility();
    state_->onAccessibilityGranted = [this] { activateServices(); };

    actions_->set(AppAction::showEditor, [this] { showEditor(); });
    actions_->set(AppAction::showOnboarding, [this] { showOnboarding(); });
    actions_->set(AppAction::flashZones, [this] { flashZones(true); });
    actions_->set(AppAction::restoreAllWindows, [this] { memory().restoreAll(); });
    actions_->set(AppAction::applyRules, [this] { rules().applyAll(); });

    NewWindowPlacer& placer = newWindowPlacer();
    placer.claimsWindow = [this](const WindowHandle& window) { return workspaces().applyPendingEntries(window); };
    placer.applyRules = [this](const WindowHandle& window) { return rules().applyRules(window); };
    placer.onPlaced = [this](const ZonePlacement& placement) { showPlacedZones(placement); };

    actions_->setDeleteWorkspace([this](const UUID& id) { deleteWorkspace(id); });
    actions_->set(AppAction::workspacesChanged, [this] { workspacesChanged(); });
    actions_->set(AppAction::saveWorkspace, [this] { promptSaveWorkspace(); });

    displayRestorer().afterRestore = [this] { workspaces().restoreForCurrentDisplays(); };

    // The workspace library comes up with the other documents; the URL commands read it.
    workspaces();

    // The drag controller exists before the status item, which reads it.
    dragSnap();

    actions_->set(AppAction::showSettings, [this] { showSettings(std::nullopt); });
    actions_->set(AppAction::showReleaseNotes, [this] { showSettings(SettingsSection::about); });
    actions_->set(AppAction::showAbout, [this] { showAbout(); });
    actions_->set(AppAction::checkForUpdates, [this] { checkForUpdates(); });
    actions_->set(AppAction::sendFeedback, [this] { showFeedback(); });
    actions_->set(AppAction::askForReview, [this] { askForReview(); });

    if (hooks_.buildStatusItem) hooks_.buildStatusItem();
    documentNoticesReady_ = true;
    for (DocumentTrouble& untold : std::exchange(untoldDocuments_, {})) tellAboutDocument(std::move(untold));
    for (SaveReport::Notice& untold : std::exchange(untoldSaves_, {})) tellAboutSave(untold);
    if (hooks_.publishHandles) hooks_.publishHandles();
    if (hooks_.startCloudSync) hooks_.startCloudSync();

    zones_->onSnapAsked = [this](const WindowHandle& window) { snapAsked(window); };
    zones_->onSnapped = [this](const WindowHandle& window, const DisplayInfo& display,
                               const std::vector<std::int64_t>& indices) { didSnapWindow(window, display, indices); };
    dragSnap_->onSnap = [this](const WindowHandle& window, const DisplayInfo& display, const SpanSelection& selection,
                               const Rect&) { didSnapWindow(window, display, selection.zoneIndices); };
    dragSnap_->onDragEndedWithoutSnap = [this](const WindowHandle& window) { didEndDragWithoutSnap(window); };

    // Only now may a window be left alone: an excluded window is excluded from the first snap on.
    zones_->isExcluded = [this](const WindowInfo& window) { return isIgnoredWindow(window); };
    dragSnap_->isExcluded = zones_->isExcluded;

    activateServices();
    launched_ = true;

    const bool onboarded = platform_.defaults.boolValue(onboardingDoneKey).value_or(false);
    if (!state_->accessibilityTrusted() || !onboarded) showOnboarding();
}

void AppDelegate::activateServices() {
    if (!state_->accessibilityTrusted() || servicesStarted_) return;
    // Set first: whatever fails below is not retried by a later grant, which would register the
    // shortcuts and the observers a second time.
    servicesStarted_ = true;
    chooseFirstDragKeys();
    if (!inputMonitor().start()) {
        log_.error("Global input is not available (no XInput 2 on this X server): drag snapping is off");
    }
    if (hooks_.registerShortcuts) hooks_.registerShortcuts();
    displayRestorer().observe(platform_.screens);
    newWindowPlacer().start();
    if (hooks_.syncWorkspaceShortcuts) hooks_.syncWorkspaceShortcuts();
    log_.notice("drag snapping, shortcuts and window memory active");
}

void AppDelegate::chooseFirstDragKeys() {
    // Only now is a window manager sure to run (window control needs one); a key the user chose,
    // or any stored one, is never changed.
    if (preferences_->storesDragKey() || !state_->windowManagerName) return;
    const std::string windowManager = state_->windowManagerName();
    const DragKeys keys = defaultDragKeys(windowManager);
    const auto taken = dragKeyTakenBy(windowManager);
    if (!taken || keys == preferences_->dragKeys()) return;
    preferences_->setDragKeys(keys);
    log_.notice("First start beside " + taken->windowManager + ", which uses " +
                std::string(displayName(taken->key)) + "-drag to " + taken->use + ": " +
                std::string(displayName(keys.activation)) + " shows the zones and " +
                std::string(displayName(keys.span)) + " spans them");
}

// --- Requests from outside -------------------------------------------------------------------------

InstanceReply AppDelegate::answer(const InstanceRequest& request) {
    if (!launched_) return {"Tessary is still starting", 1};
    if (request.arguments.empty()) {
        log_.notice("Opened again");
        reopen();
        return {};
    }
    const std::string& first = request.arguments.front();
    // Any spelling of the scheme reaches the URL handler, which alone judges (and logs) the URL: one
    // it ignores must leave no trace.
    if (TessaryInfo::hasURLScheme(first)) return handleGetURL(first);
    if (auto verb = hooks_.commandLineVerbs.find(first); verb != hooks_.commandLineVerbs.end()) {
        return verb->second(std::vector<std::string>(request.arguments.begin() + 1, request.arguments.end()));
    }
    return {"unknown command: " + first, 1};
}

InstanceReply AppDelegate::handleGetURL(const std::string& url) {
    if (!looksLikeURL(url)) return {};
    if (hooks_.handleURL) return hooks_.handleURL(url);
    if (hooks_.urlCommands) return hooks_.urlCommands(url);
    log_.notice("No URL commands in this build");
    return {};
}

void AppDelegate::retrySaves(SaveReport& report, std::function<void()> saveAgain, std::string category) {
    saveRetries_.push_back(
        std::make_unique<SaveRetry>(report, std::move(saveAgain), platform_.scheduler, Logger(std::move(category))));
}

void AppDelegate::saveNow() {
    if (memory_) memory_->flush();
    for (const auto& retry : saveRetries_) retry->flush();
}

void AppDelegate::documentChangedOnDisk(std::string_view fileName) {
    const auto named = [&](const std::filesystem::path& url) { return url.filename().string() == fileName; };
    if (named(zones_->store().url())) zones_->takeOutsideChanges();
    if (memory_ && named(memory_->store().url())) memory_->takeOutsideChanges();
    if (rules_ && named(rules_->store().url())) rules_->takeOutsideChanges();
    if (workspaces_ && named(workspaces_->store().url())) workspaces_->takeOutsideChanges();
}

void AppDelegate::prepareToQuit() {
    saveNow();
    if (overlay_) overlay_->hide();
}

void AppDelegate::quit() {
    quitting_ = true;
    prepareToQuit();
    // Hidden rather than closed, which a window may refuse; an alert's own loop ends with it.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) window->hide();
    }
    // Every running loop ends, and one started from here on returns at once.
    QCoreApplication::exit(0);
}

void AppDelegate::notifyUser(UserNotice notice) {
    log_.notice(notice.title + ": " + notice.body);
    if (platform_.notices) platform_.notices->post(std::move(notice));
}

void AppDelegate::tellAboutDocument(const std::optional<DocumentTrouble>& trouble) {
    if (!trouble || !trouble->worthTelling()) return;
    if (!documentNoticesReady_) {
        untoldDocuments_.push_back(*trouble);
        return;
    }
    notifyAboutFile(trouble->title(), trouble->body(), trouble->folder());
}

void AppDelegate::tellAboutSave(const SaveReport::Notice& notice) {
    if (!documentNoticesReady_) {
        untoldSaves_.push_back(notice);
        return;
    }
    notifyAboutFile(notice.title, notice.body, notice.folder);
}

void AppDelegate::notifyAboutFile(std::string title, std::string body, const std::filesystem::path& folder) {
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(folder.string()));
    notifyUser(UserNotice{std::move(title), std::move(body), ZoneService::localized("Open Folder"),
                          [url] { QDesktopServices::openUrl(url); }});
}

// --- Snap callbacks --------------------------------------------------------------------------------

void AppDelegate::didSnapWindow(const WindowHandle& window, const DisplayInfo& display,
                                const std::vector<std::int64_t>& zones) {
    std::string indices;
    for (std::int64_t zone : zones) indices += (indices.empty() ? "" : ",") + std::to_string(zone + 1);
    // A failure this snap of the window replaced is no news any more (a drag's snap is not asked
    // of the zone service).
    if (noticeWindow_ == window) platform_.scheduler.cancel(std::exchange(snapFailureNotice_, {}));
    memory().remember(window, display, zones);
    log_.debug("snapped " + window.description() + " into zone " + indices + " of " + display.identifier);
    reviewPrompt_->recordSnap();
}

void AppDelegate::didEndDragWithoutSnap(const WindowHandle& window) { memory().forget(window); }

// --- Command targets -------------------------------------------------------------------------------

const AppWindow& AppDelegate::windowFrom(AppWindow& slot, const AppWindowFactory& factory) {
    if (!slot && factory) {
        slot = factory(*this);
        if (!slot) return slot;
        closedWindows_.watch(slot.window, [this, &slot, window = slot.window] { closedWindowReleased(slot, window); });
    }
    return slot;
}

void AppDelegate::closedWindowReleased(AppWindow& slot, const QWidget* window) {
    if (slot.window != window || window->isVisible()) return;
    if (slot.released) slot.released();
    const bool madeAnew = &slot == &onboarding_ || &slot == &feedback_;
    if (!madeAnew || slot.isBusy()) return;
    slot = {};
}

void AppDelegate::presentWindowController(const AppWindow& window, std::string_view what) {
    if (!window) {
        log_.notice("No " + std::string(what) + " window in this build");
        return;
    }
    placeOnPointerDisplay(*window.window);
    presentWindow(*window.window, window.show);
}

void AppDelegate::showEditor() {
    log_.notice("opening layout editor");
    presentWindowController(windowFrom(editor_, factories_.editor), "layout editor");
}

void AppDelegate::showOnboarding() {
    presentWindowController(windowFrom(onboarding_, factories_.onboarding), "onboarding");
    QWidget* window = onboarding_.window;
    if (!window) return;
    std::string screens = "(";
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens += (screens.size() > 1 ? ", " : "") + describe(screen->geometry());
    }
    log_.notice("onboarding window frame " + describe(window->frameGeometry()) + " content " +
                describe(window->geometry()) + " scale " + std::to_string(window->devicePixelRatioF()) +
                "; screens " + screens + ")");
}

void AppDelegate::flashZones(bool force) {
    if (!force && !preferences_->flashOnLayoutChange()) return;
    std::vector<OverlayItem> items;
    for (const DisplayInfo& display : displays()) items.push_back({display, zones_->zones(display)});
    overlay().flash(items, flashDuration);
}

void AppDelegate::showPlacedZones(const ZonePlacement& placement) {
    std::vector<Zone> kept;
    for (const Zone& zone : zones_->zones(placement.display)) {
        if (std::find(placement.zoneIndices.begin(), placement.zoneIndices.end(), zone.index) !=
            placement.zoneIndices.end()) {
            kept.push_back(zone);
        }
    }
    if (kept.empty()) return;
    overlay().flash({{placement.display, kept}}, placedFlashDuration,
                    OverlayHighlight{placement.zoneIndices, placement.display});
}

void AppDelegate::deleteWorkspace(const UUID& id) {
    workspaces().updateLibrary([&id](WorkspaceLibrary& library) { library.deleteWorkspace(id); });
    if (hooks_.removeWorkspaceShortcut) hooks_.removeWorkspaceShortcut(id);
}

void AppDelegate::workspacesChanged() {
    if (hooks_.syncWorkspaceShortcuts) hooks_.syncWorkspaceShortcuts();
}

void AppDelegate::showAbout() { presentWindowController(windowFrom(about_, factories_.about), "About"); }

void AppDelegate::checkForUpdates() {
    if (hooks_.checkForUpdates) hooks_.checkForUpdates();
}

void AppDelegate::showFeedback() {
    // A closed feedback window is reused only while it is busy: a form being sent, or whose sending
    // failed, keeps the user's text and shows how it went; otherwise a new request starts empty.
    if (feedback_ && (feedback_.window->isVisible() || feedback_.isBusy())) {
        presentWindowController(feedback_, "feedback");
        return;
    }
    feedback_ = {};
    presentWindowController(windowFrom(feedback_, factories_.feedback), "feedback");
}

void AppDelegate::askForReview() {
    if (!hooks_.askReviewQuestion) {
        log_.notice("No review invitation in this build");
        return;
    }
    // Without a web site the alert offers no review; should a review still be chosen, the link
    // opener logs that there is nothing to open, and the prompt stays unfinished.
    const std::string page = reviewURL();
    reviewPrompt_->present({[this, hasPage = !page.empty()] { return hooks_.askReviewQuestion(hasPage); },
                            [page] { return openAppLink(page); }, [this] { showFeedback(); }});
}

void AppDelegate::showSettings(std::optional<SettingsSection> section) {
    if (section) state_->setRequestedSettingsSection(section);
    QWidget* window = windowFrom(settings_, factories_.settings).window;
    if (!window) {
        log_.notice("No settings window in this build");
        return;
    }
    placeOnPointerDisplay(*window);
    window->show();
    // Once the window has been shown and mapped: raising it before that is lost on some window managers.
    platform_.scheduler.cancel(settingsRaise_);
    settingsRaise_ = platform_.scheduler.schedule(std::chrono::milliseconds(0), [this] {
        settingsRaise_ = {};
        if (QWidget* found = findSettingsWindow()) presentWindow(*found);
    });
}

QWidget* AppDelegate::findSettingsWindow() const {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->objectName().contains("Settings")) return window;
    }
    for (QWidget* window : windows) {
        if (isTitledWindow(window) && window->windowTitle() == "Settings") return window;
    }
    return nullptr;
}

void AppDelegate::promptSaveWorkspace() {
    if (savePrompt_) {
        // A second modal loop inside the first would answer the inner prompt first and leave the
        // outer one stale; the open prompt already asks the same question.
        presentWindow(*savePrompt_);
        return;
    }
    SaveWorkspacePrompt prompt(workspaces().library().workspaces.size());
    savePrompt_ = &prompt;
    const int response = prompt.exec();
    savePrompt_ = nullptr;
    if (response != QDialog::Accepted) return;
    workspaces().saveCurrentWindows(prompt.chosenName());
    if (hooks_.syncWorkspaceShortcuts) hooks_.syncWorkspaceShortcuts();
}

}  // namespace tessary
