#include "Tessary/program/ProgramWindows.h"

#include <QDesktopServices>
#include <QUrl>

#include <string>
#include <vector>

#include "GlobalShortcuts/ui/Recorder.h"
#include "Tessary/integrations/SparkleConfiguration.h"
#include "Tessary/integrations/SyncFolderSetting.h"
#include "Tessary/integrations/ui/AboutWindowController.h"
#include "Tessary/integrations/ui/FeedbackWindowController.h"
#include "Tessary/keyboard/ShortcutNames.h"
#include "Tessary/settings/ui/SettingsWindow.h"
#include "Tessary/shell/OnboardingModel.h"
#include "Tessary/shell/ui/OnboardingView.h"
#include "WindowEngine/AccessibilityPermission.h"

namespace tessary {

namespace {

// The onboarding window follows the shared state while it exists: a trust the poll finds, or launch
// at login switched elsewhere, shows at once. "Done" records that onboarding was completed.
AppWindow onboardingWindow(AppDelegate& delegate, UserDefaults& defaults) {
    struct Owner {
        std::unique_ptr<OnboardingWindowController> controller;
        Subscription stateWatch;  // ends first: it reaches the controller
    };
    AppState& state = delegate.state();
    const Preferences& preferences = delegate.preferences();
    auto model = [&state, &preferences] {
        return OnboardingModel{state.accessibilityTrusted(), state.launchAtLogin(),
                               AccessibilityPermission::settingsURL().value_or(""), preferences.activationModifier()};
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

AppWindow aboutWindow(AppDelegate& delegate) {
    AppActions& actions = delegate.actions();
    auto controller = std::make_shared<AboutWindowController>(
        AboutActions{[&actions] { actions.showReleaseNotes(); }, [&actions] { actions.sendFeedback(); }, nullptr});
    AboutWindowController* made = controller.get();
    return AppWindow{controller, made->window(), [made] { made->show(); }, {}, [made] { made->releaseContents(); }};
}

AppWindow feedbackWindow(Scheduler& scheduler) {
    std::shared_ptr<FeedbackWindowController> controller = FeedbackWindowController::make(scheduler);
    FeedbackWindowController* made = controller.get();
    return AppWindow{controller, made->window(), [made] { made->show(); }, [made] {
                         const FeedbackModel::Phase phase = made->model().phase();
                         return phase == FeedbackModel::Phase::sending || phase == FeedbackModel::Phase::failed;
                     }};
}

}  // namespace

ProgramWindows::ProgramWindows(TrayFirst& first, BackEnds& backEnds)
    : updater(SparkleConfiguration::fromBuildOptions(), nullptr),
      syncFolderInUse(SyncFolderSetting::read(backEnds.defaults)),
      syncStore(SyncFolderSetting::read(backEnds.defaults), first.scheduler) {
    first.trayTargets.updater = &updater;
    factories.onboarding = [&backEnds](AppDelegate& delegate) { return onboardingWindow(delegate, backEnds.defaults); };
    factories.editor = [this, &first](AppDelegate& delegate) { return editorWindow(delegate, first.scheduler); };
    factories.about = aboutWindow;
    factories.settings = [this, &first, &backEnds](AppDelegate& delegate) {
        return settingsWindow(delegate, first, backEnds);
    };
    factories.feedback = [&first](AppDelegate&) { return feedbackWindow(first.scheduler); };
    // A name of the program's keeps its default; any other (a workspace's) has none.
    settingsHooks.makeRecorder = [&backEnds](const std::string& name, QWidget* parent) -> QWidget* {
        return new Recorder(backEnds.shortcuts, ShortcutNames::named(name), QString(), nullptr, parent);
    };
    settingsHooks.resetShortcuts = [&backEnds](const std::vector<std::string>& names) {
        std::vector<GlobalShortcuts::Name> list;
        for (const std::string& name : names) list.push_back(ShortcutNames::named(name));
        backEnds.shortcuts.reset(list);
    };
    if (syncStore.fileDescriptor() >= 0) {
        syncWatcher.emplace(syncStore.fileDescriptor(), [this] { return syncStore.processEvents(); },
                            QtEventPump::WhenReadableOnly{});
    }
}

AppWindow ProgramWindows::editorWindow(AppDelegate& delegate, Scheduler& scheduler) {
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
}

// Built on each opening; what it shows next lives on in the selection, which outlives the delegate
// that destroys the last window.
AppWindow ProgramWindows::settingsWindow(AppDelegate& delegate, TrayFirst& first, BackEnds& backEnds) {
    if (!settingsSelection) settingsSelection = std::make_unique<SettingsSelection>(delegate.state());
    return AppWindow::of(std::make_unique<SettingsWindow>(
        SettingsContext{delegate.state(), delegate.preferences(), delegate.actions(), *settingsSelection, &updater,
                        settingsHooks, &backEnds.defaults, [this] { return liveCloudSync; }, syncFolderInUse,
                        &backEnds.launcher, &first.platform->workspace(), &delegate.rules(), &delegate.zones(),
                        &delegate.workspaces()}));
}

}  // namespace tessary
