// Synchronisation as the program will wire it, without the rest of the program: the X11 back ends,
// the zone, rule and workspace services over their documents in $XDG_DATA_HOME/Tessary, the
// preferences and the sync folder setting in $XDG_CONFIG_HOME/Tessary/defaults.json, and the sync
// over the folder store, its watcher fed to the Qt main loop. Commands, one per line on standard
// input:
//   add-layout NAME          a new three-column layout, assigned to the first display
//   add-rule APP             a rule placing APP's windows into zone 1
//   delete-rule APP          deletes the rules of APP
// It reports, one line per event on standard output:
//   ready                    started (and the launch-time sync has run)
//   layouts NAME|NAME|...    the layout library changed (names in library order)
//   rules APP,APP,...        the rules changed
//   sync ERROR               the sync's last error changed ("sync ok" once it is cleared)
// Run with DISPLAY set; it runs until it is killed or its input ends.

#include <QCoreApplication>
#include <QSocketNotifier>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Linux/DesktopApplicationLauncher.h"
#include "Platform/Linux/FolderSyncStore.h"
#include "Platform/Linux/JSONFileUserDefaults.h"
#include "Platform/Qt/QtEventPump.h"
#include "Platform/Qt/QtScheduler.h"
#include "Platform/X11/X11Platform.h"
#include "Tessary/integrations/CloudSync.h"
#include "Tessary/integrations/SyncFolderSetting.h"
#include "Tessary/services/RuleService.h"
#include "Tessary/services/WorkspaceService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/shell/Preferences.h"
#include "TessaryCore/TessaryPaths.h"
#include "WindowEngine/AXWindowEngine.h"
#include "WindowEngine/DisplayProvider.h"

using namespace tessary;

namespace {

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

Date stamp() { return Date::now().roundedToMilliseconds(); }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    auto platform = X11Platform::open();
    if (!platform) {
        std::fputs("cannot connect to the X server\n", stderr);
        return 1;
    }
    QtEventPump pump(platform->fileDescriptor(), [&] { return platform->processPendingEvents(); });
    QtScheduler scheduler;
    DisplayProvider::setScreens(&platform->screens());
    const auto displays = [] { return DisplayProvider::displays(); };

    JSONFileUserDefaults defaults(JSONFileUserDefaults::defaultPath());
    Preferences preferences(defaults);
    auto engine = std::make_shared<AXWindowEngine>(platform->accessibility(), platform->workspace());
    ZoneService zones(engine, JSONDocumentStore<LayoutLibrary>(TessaryPaths::layoutsURL()));
    RuleService rules(zones, displays, JSONDocumentStore<RuleSet>(TessaryPaths::rulesURL()));
    DesktopApplicationLauncher launcher;
    WorkspaceService workspaces(zones, displays, JSONDocumentStore<WorkspaceLibrary>(TessaryPaths::workspacesURL()),
                                platform->workspace(), launcher, scheduler);

    FolderSyncStore store(SyncFolderSetting::read(defaults), scheduler);
    std::optional<QtEventPump> watcher;
    if (store.fileDescriptor() >= 0) watcher.emplace(store.fileDescriptor(), [&] { return store.processEvents(); });
    CloudSync sync(store, zones, rules, workspaces, [&] { return preferences.iCloudSyncEnabled(); },
                   store.isUsable() ? CloudSync::Availability::available : CloudSync::Availability::missingEntitlement,
                   scheduler);

    const Subscription layoutLines = zones.observe([&] {
        std::string line = "layouts ";
        for (std::size_t i = 0; i < zones.library().layouts.size(); ++i) {
            line += (i ? "|" : "") + zones.library().layouts[i].name;
        }
        say(line);
    });
    const Subscription ruleLines = rules.observe([&] {
        std::string line = "rules ";
        for (std::size_t i = 0; i < rules.ruleSet().rules.size(); ++i) {
            line += (i ? "," : "") + rules.ruleSet().rules[i].bundleID;
        }
        say(line);
    });
    std::optional<std::string> shownError;
    const Subscription syncLines = sync.observe([&] {
        if (sync.lastError() == shownError) return;
        shownError = sync.lastError();
        say("sync " + shownError.value_or("ok"));
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(count));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const auto space = line.find(' ');
            const std::string command = line.substr(0, space);
            const std::string argument = space == std::string::npos ? std::string() : line.substr(space + 1);
            if (command == "add-layout") {
                ZoneLayout layout(LayoutTemplate::columns, 3, argument);
                layout.setModifiedAt(stamp());
                const auto all = displays();
                zones.updateLibrary([&](LayoutLibrary& library) {
                    library.upsert(layout);
                    if (!all.empty()) library.assign(layout.id, all.front().displayKey());
                });
            } else if (command == "add-rule") {
                rules.modifyRuleSet([&](RuleSet& set) {
                    set.upsert(PlacementRule(UUID::random(), true, argument, std::nullopt, std::nullopt, {0}, stamp()));
                });
            } else if (command == "delete-rule") {
                rules.modifyRuleSet([&](RuleSet& set) {
                    std::vector<UUID> doomed;
                    for (const auto& rule : set.rules) {
                        if (rule.bundleID == argument) doomed.push_back(rule.id);
                    }
                    for (const UUID& id : doomed) set.deleteRule(id);
                });
            } else {
                std::fprintf(stderr, "unknown command: %s\n", line.c_str());
            }
        }
    });

    sync.start();
    say("ready");
    return application.exec();
}
