#include "Tessary/program/Instance.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "GlobalShortcuts/ui/MenuShortcutSearch.h"
#include "Tessary/editor/ui/EditorTestQuery.h"
#include "Tessary/integrations/ui/FeedbackTestVerb.h"
#include "Tessary/integrations/ui/SyncTestVerb.h"
#include "Tessary/keyboard/HeldShortcutsNotice.h"
#include "Tessary/keyboard/ShortcutTitles.h"
#include "Tessary/program/LastWrites.h"
#include "Tessary/program/StartReply.h"
#include "Tessary/settings/ui/SettingsTestQuery.h"
#include "Tessary/shell/ui/ReviewAlert.h"
#include "Tessary/shell/ui/TrayTestQuery.h"
#include "TessaryCore/TessaryPaths.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

Instance::Instance(TrayFirst& first, BackEnds& backEnds, ProgramWindows& windows, const Logger& log)
    : first_(first),
      backEnds_(backEnds),
      windows_(windows),
      log_(log),
      notices_([&first](const UserNotice& notice) { return first.showMessage(notice); }),
      delegate_(AppPlatform{first.platform->accessibility(), first.platform->workspace(), first.platform->screens(),
                            first.input, backEnds.launcher, backEnds.defaults, backEnds.loginItems, first.scheduler,
                            backEnds.engine, [&backEnds] { return backEnds.compositor.isCompositing(); }, &notices_,
                            &first.platform->windowManager()},
                std::move(windows.factories)),
      keyboardSnap_(backEnds.shortcuts, delegate_.zones(), first.input, [] { return DisplayProvider::displays(); },
                    first.scheduler),
      workspaceHotKeys_(backEnds.shortcuts, delegate_.workspaces()) {
    LastWrites::delegate = &delegate_;
    first.trayTargets.delegate = &delegate_;
    windows.integrations = std::make_unique<AppIntegrations>(delegate_);
    wireKeyboard();
    wireShell();
    wireSync();
    addTestVerbs();
    // Taken over from the default handling once everything a quit reaches is wired.
    signals_.emplace();
    signalNotifier_.emplace(signals_->fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(&*signalNotifier_, &QSocketNotifier::activated, [this] {
        log_.notice("Signal " + std::to_string(signals_->take()) + " received; quitting");
        delegate_.quit();
    });
}

void Instance::wireKeyboard() {
    // A cycled layout flashes only with flashOnLayoutChange on; "Show Zones" always does.
    keyboardSnap_.onShowZones = [this] { delegate_.flashZones(true); };
    keyboardSnap_.onLayoutCycled = [this] { delegate_.flashZones(false); };
    keyboardSnap_.onOpenEditor = [this] { delegate_.showEditor(); };
    keyboardSnap_.onRestoreAll = [this] { delegate_.memory().restoreAll(); };
    keyboardSnap_.onSnapFailed = [this](const ZoneService::SnapError& error) { delegate_.reportSnapFailure(error); };
    // What a recorder calls the shortcut it would take from another name: its pane row, or the
    // workspace it restores.
    backEnds_.shortcuts.nameTitle = [this](const GlobalShortcuts::Name& name) -> std::optional<std::string> {
        if (std::string title = shortcutTitle(name.rawValue); !title.empty()) return title;
        for (const Workspace& workspace : delegate_.workspaces().library().workspaces) {
            if (WorkspaceHotKeys::shortcutName(workspace.id).rawValue == name.rawValue) return workspace.name;
        }
        return std::nullopt;
    };
    delegate_.hooks().registerShortcuts = [this] {
        keyboardSnap_.registerShortcuts();
        // Defaults another program holds do nothing; said once, with the way to other ones.
        if (auto held = heldShortcutsNotice(backEnds_.shortcuts, backEnds_.defaults)) {
            delegate_.notifyUser(UserNotice{held->title, held->body, held->actionLabel,
                                            [this] { delegate_.showSettings(SettingsSection::shortcuts); }});
        }
    };
    delegate_.hooks().syncWorkspaceShortcuts = [this] { workspaceHotKeys_.syncShortcuts(); };
    delegate_.hooks().removeWorkspaceShortcut = [this](const UUID& id) { workspaceHotKeys_.removeShortcut(id); };
}

void Instance::wireShell() {
    delegate_.hooks().askReviewQuestion = runReviewAlert;
    // Updates: the one updater made before the delegate, which the settings window shares.
    delegate_.hooks().checkForUpdates = [this] { windows_.updater.checkForUpdates(); };
    // The icon shows already; the launch gives it what follows the services.
    delegate_.hooks().buildStatusItem = [this] {
        StatusItemController& statusItem = *first_.statusItem;
        UpdaterController& updater = windows_.updater;
        // Recorders refuse the keys the menu acts on.
        setMainMenu(statusItem.programKeys());
        updater.onPendingUpdateChange = [&] { statusItem.updateStatusButton(updater.pendingUpdateVersion().has_value()); };
        statusItem.updateStatusButton(updater.pendingUpdateVersion().has_value());
    };
    // Saving a workspace from the settings window must not capture that window.
    delegate_.workspaces().ownProcess = static_cast<ProcessID>(::getpid());
}

void Instance::wireSync() {
    delegate_.hooks().startCloudSync = [this] {
        Preferences& preferences = delegate_.preferences();
        FolderSyncStore& store = windows_.syncStore;
        cloudSync_ = std::make_unique<CloudSync>(
            store, delegate_.zones(), delegate_.rules(), delegate_.workspaces(),
            [&preferences] { return preferences.iCloudSyncEnabled(); },
            store.isUsable() ? CloudSync::Availability::available : CloudSync::Availability::missingEntitlement,
            first_.scheduler);
        // Told once for each file set aside: the copy is the only trace of what it held.
        cloudSync_->onSetAside = [this, &store](const std::string& key, const std::string& copy) {
            delegate_.notifyAboutFile(
                DocumentTrouble::aboutFile("%1 in the sync folder was set aside", key),
                DocumentTrouble::aboutFile(
                    "It could not be read, so its contents were kept as %1 and this machine's copy took its place.",
                    copy),
                store.folder());
        };
        cloudSync_->start();
        windows_.liveCloudSync = cloudSync_.get();
    };
}

// The end-to-end tests' windows into the program: verbs that exist only under TESSARY_E2E.
void Instance::addTestVerbs() {
    auto& verbs = delegate_.hooks().commandLineVerbs;
    if (EditorTestQuery::enabled()) {
        verbs["editor-test"] = [this](const std::vector<std::string>& arguments) {
            return EditorTestQuery::answer(windows_.editorForTests.lock().get(), arguments);
        };
    }
    if (SyncTestVerb::isWanted()) {
        SyncTestVerb::install(delegate_, [this] { return cloudSync_.get(); });
        FeedbackTestVerb::install(delegate_, first_.scheduler);
    }
    if (std::getenv("TESSARY_E2E")) {
        verbs["settings-test"] = settingsTestVerb(delegate_);
        verbs["tray-test"] = trayTestVerb([this] { return first_.statusItem.get(); });
    }
}

void Instance::launch() {
    delegate_.launch();
    // The services listen now (or wait for window control, when they need not hear a press).
    first_.pressesDuringStart.reset();
    followSharedFolders();
    tellAboutTheSettingsFile();
    backEnds_.settingsSaves.setOnNotice([this](const SaveReport::Notice& notice) { delegate_.tellAboutSave(notice); });
    // Registered after the launch built the services, so that what saving uses was made before
    // it and is destroyed after it runs.
    std::atexit(LastWrites::saveOnExit);
}

// What an instance on another display of the user's writes to the shared documents and settings is
// taken in as soon as it is written.
void Instance::followSharedFolders() {
    JSONFileUserDefaults& defaults = backEnds_.defaults;
    const std::filesystem::path dataFolder = TessaryPaths::folder();
    sharedFolders_.emplace(
        std::vector<std::filesystem::path>{dataFolder, defaults.path().parent_path()}, first_.scheduler,
        [this, &defaults, dataFolder](const std::filesystem::path& folder, const std::set<std::string>& names) {
            if (folder == dataFolder) {
                for (const std::string& name : names) delegate_.documentChangedOnDisk(name);
            } else if (names.contains(defaults.path().filename().string())) {
                defaults.takeOutsideChanges();
            }
        });
    if (sharedFolders_->fileDescriptor() >= 0) {
        sharedFoldersPump_.emplace(sharedFolders_->fileDescriptor(), [this] { return sharedFolders_->processEvents(); },
                                   QtEventPump::WhenReadableOnly{});
    }
}

// The settings file is read before the delegate exists: its damage is told once there is one.
void Instance::tellAboutTheSettingsFile() {
    const JSONFileUserDefaults& defaults = backEnds_.defaults;
    if (const auto& aside = defaults.setAside()) {
        DocumentStoreError damaged{DocumentStoreError::Code::decodingFailed, defaults.path(), {}};
        damaged.copy = aside->path;
        damaged.newCopy = aside->isNew;
        delegate_.tellAboutDocument(DocumentTrouble{damaged, ZoneService::localized("its settings at their defaults")});
    }
    if (const auto& unread = defaults.readFailure()) {
        const bool tooLarge = *unread == std::make_error_code(std::errc::file_too_large);
        DocumentStoreError failed{tooLarge ? DocumentStoreError::Code::tooLarge : DocumentStoreError::Code::readFailed,
                                  defaults.path(), tooLarge ? std::string() : unread->message()};
        std::error_code ignored;
        if (tooLarge) failed.size = std::filesystem::file_size(defaults.path(), ignored);
        delegate_.tellAboutDocument(DocumentTrouble{failed, ZoneService::localized("its settings at their defaults")});
    }
}

int Instance::serve(std::optional<InstanceLock> lock, const InstanceRequest& request) {
    // Requests are taken only now: a URL run before the launch sequence would move windows the
    // filter does not know yet, and its snap would reach no window memory.
    if (lock) {
        server_.emplace(std::move(*lock), first_.scheduler);
        if (server_->start([this](const InstanceRequest& r) { return delegate_.answer(r); })) {
            LastWrites::socket = server_->location().socket.string();
            LastWrites::server = &*server_;
        }
    }
    answerOwnArguments(request);
    int status = 0;
    // A quit asked for before now (inside a loop the launch or the arguments ran) still holds.
    if (!delegate_.isQuitting() && !first_.serverGone) status = first_.application.exec();
    log_.notice("Quitting");
    quit();
    return status;
}

void Instance::answerOwnArguments(const InstanceRequest& request) {
    if (request.arguments.empty()) return;
    // The limit a forwarded request meets holds for the first start's own as well.
    if (InstanceMessage::encode(request).size() >= InstanceMessage::maximumSize) {
        log_.error("Refused a request larger than " + std::to_string(InstanceMessage::maximumSize / 1024) + " kB");
        printReply(InstanceServer::oversizedReply());
    } else {
        // The instance runs on whatever the answer: its status is the main loop's.
        finishStart(request, delegate_.answer(request));
    }
}

// Writes what is pending and lets go of everything that reaches the delegate, before it goes.
void Instance::quit() {
    delegate_.prepareToQuit();
    backEnds_.settingsRetry.flush();
    if (cloudSync_) cloudSync_->flush();
    LastWrites::server = nullptr;
    server_.reset();
    windows_.liveCloudSync = nullptr;
    windows_.updater.onPendingUpdateChange = nullptr;
    first_.statusItem.reset();
    first_.trayTargets = {};
    cloudSync_.reset();
    backEnds_.shortcuts.nameTitle = [](const GlobalShortcuts::Name&) { return std::nullopt; };
    LastWrites::socket.clear();
    LastWrites::delegate = nullptr;
    windows_.integrations.reset();
    // The delegate goes with the instance; a later failure to write the settings is only logged.
    backEnds_.settingsSaves.setOnNotice(nullptr);
}

}  // namespace tessary
