#pragma once

// The whole program over the Sim back ends, in virtual time: the delegate with windows that are
// plain widgets (counted as they are made), hooks that record their calls, and two applications
// whose windows live in a SimAccessibility. Documents go to a temporary folder.

#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Logger.h"
#include "Platform/Sim/MemoryLoginItems.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/RecordingUserNotices.h"
#include "Platform/Sim/SimAccessibility.h"
#include "Platform/Sim/SimApplicationLauncher.h"
#include "Platform/Sim/SimApplicationWorkspace.h"
#include "Platform/Sim/SimGlobalInput.h"
#include "Platform/Sim/SimScreens.h"
#include "Platform/Sim/SimWindowManagerInfo.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "Tessary/integrations/ui/AppIntegrations.h"
#include "Tessary/shell/ui/AppDelegate.h"
#include "TessaryCore/TessaryPaths.h"
#include "WindowEngine/AXWindowEngine.h"
#include "WindowEngine/AccessibilityPermission.h"
#include "WindowEngine/DisplayProvider.h"
#include "tests/Tessary/QtApplication.h"
#include "tests/Tessary/TestWorld.h"

namespace tessary::testing {

class AppWorld {
public:
    static constexpr ProcessID editorPID = 100;
    static constexpr ProcessID excludedPID = 200;

    AppWorld() {
        qttest::qtApplication();
        TessaryPaths::setFolderOverride(folder.path());
        DisplayProvider::displaysOverride = std::vector<DisplayInfo>{main, side};
        AccessibilityPermission::setAccessibility(&accessibility);
        applications.addApplication({editorPID, "org.example.Editor", "Editor", ActivationPolicy::regular, false});
        applications.addApplication({excludedPID, "org.example.Excluded", "Excluded", ActivationPolicy::regular, false});
    }
    ~AppWorld() {
        delegate.reset();
        AccessibilityPermission::setAccessibility(nullptr);
        DisplayProvider::displaysOverride.reset();
        TessaryPaths::setFolderOverride(std::nullopt);
    }
    AppWorld(const AppWorld&) = delete;
    AppWorld& operator=(const AppWorld&) = delete;

    // The delegate, with every display on a 2 x 2 layout without gaps (zones 500 x 400 on the main
    // display, 400 x 300 on the side one).
    AppDelegate& make() {
        integrations.reset();
        delegate = std::make_unique<AppDelegate>(
            AppPlatform{accessibility, applications, screens, input, launcher, defaults, loginItems, scheduler, engine,
                        nullptr, &notices, &windowManager},
            factories(), hooks());
        integrations = std::make_unique<AppIntegrations>(*delegate);
        delegate->zones().updateLibrary([&](LayoutLibrary& library) {
            library.layouts = {quarters};
            library.defaultLayoutID = quarters.id;
        });
        return *delegate;
    }
    AppDelegate& launched() {
        make().launch();
        return *delegate;
    }

    WindowHandle addWindow(ProcessID pid, Rect frame, std::string title = "Window") {
        return WindowHandle(pid, accessibility.addWindow(pid, frame, title));
    }
    Rect frameOf(const WindowHandle& window) { return accessibility.window(window.element).frame; }

    std::size_t count(std::string_view message) const {
        const auto lines = sink.messages("AppDelegate");
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), message));
    }
    int made(const std::string& window) const {
        const auto found = windowsMade.find(window);
        return found == windowsMade.end() ? 0 : found->second;
    }
    int called(const std::string& hook) const {
        return static_cast<int>(std::count(hookCalls.begin(), hookCalls.end(), hook));
    }

    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    TemporaryFolder folder;
    VirtualScheduler scheduler;
    SimAccessibility accessibility;
    SimApplicationWorkspace applications;
    SimScreens screens;
    SimGlobalInput input;
    SimApplicationLauncher launcher;
    MemoryUserDefaults defaults;
    MemoryLoginItems loginItems;
    RecordingUserNotices notices;
    SimWindowManagerInfo windowManager{"Openbox"};
    std::shared_ptr<AXWindowEngine> engine = std::make_shared<AXWindowEngine>(accessibility, applications);
    DisplayInfo main = makeDisplay(1, "MAIN", Rect(0, 0, 1000, 800));
    DisplayInfo side = makeDisplay(2, "SIDE", Rect(1000, 0, 800, 600));
    ZoneLayout quarters{UUID::random(), "Quarters", LayoutKind(ZoneGrid::uniform(2, 2)), 0, 0, std::nullopt, Date(0)};
    std::map<std::string, int> windowsMade;
    std::vector<std::string> hookCalls;
    std::optional<bool> reviewPageOffered;  // what the review alert was told, once asked
    bool feedbackBusy = false;              // what the feedback windows say of themselves
    std::unique_ptr<AppDelegate> delegate;
    // The URL commands, the actions and automation, as the program wires them.
    std::unique_ptr<AppIntegrations> integrations;

private:
    AppWindowFactory window(std::string name, std::string objectName = {}) {
        return [this, name, objectName](AppDelegate&) {
            ++windowsMade[name];
            auto widget = std::make_unique<QWidget>();
            widget->setWindowTitle(QString::fromStdString(name));
            widget->setObjectName(QString::fromStdString(objectName));
            return AppWindow::of(std::move(widget));
        };
    }
    AppWindowFactories factories() {
        AppWindowFactory feedback = [this, made = window("feedback")](AppDelegate& delegate) {
            AppWindow window = made(delegate);
            window.busy = [this] { return feedbackBusy; };
            return window;
        };
        return {window("onboarding"), window("editor"), window("about"), feedback,
                window("settings", "SettingsWindow")};
    }
    AppHooks hooks() {
        AppHooks hooks;
        auto record = [this](std::string name) { return [this, name] { hookCalls.push_back(name); }; };
        hooks.registerShortcuts = record("registerShortcuts");
        hooks.syncWorkspaceShortcuts = record("syncWorkspaceShortcuts");
        hooks.removeWorkspaceShortcut = [this](const UUID&) { hookCalls.push_back("removeWorkspaceShortcut"); };
        hooks.askReviewQuestion = [this](bool hasReviewPage) {
            hookCalls.push_back("askReviewQuestion");
            reviewPageOffered = hasReviewPage;
            return ReviewPrompt::Answer::notNow;
        };
        hooks.checkForUpdates = record("checkForUpdates");
        hooks.handleURL = [this](const std::string& url) {
            hookCalls.push_back("handleURL " + url);
            return InstanceReply{};
        };
        return hooks;
    }
};

}  // namespace tessary::testing
