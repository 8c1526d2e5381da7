// The tessary program: one instance per user and X display. A later start hands its arguments to
// the running instance, prints the reply and exits with its status; the instance itself shows its
// tray icon first, then builds the rest of the X11 back ends, the delegate and its services, runs
// the launch sequence, and only then answers later starts (and its own command line). It quits on
// SIGTERM, SIGINT or SIGHUP, on Quit, and when the X server goes away, each time writing what must
// not be lost first. Each phase of the start is a function here or an object of Tessary/program/.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Platform/InstanceMessage.h"
#include "Platform/Linux/ProcessMemory.h"
#include "Platform/Linux/SingleInstance.h"
#include "Platform/Linux/StderrLogSink.h"
#include "Platform/Linux/XDGDirectories.h"
#include "Platform/Qt/QtApplication.h"
#include "Platform/X11/X11Platform.h"
#include "Tessary/integrations/CommandLineVerbs.h"
#include "Tessary/program/BackEnds.h"
#include "Tessary/program/Instance.h"
#include "Tessary/program/ProgramWindows.h"
#include "Tessary/program/StartReply.h"
#include "Tessary/program/TrayFirst.h"
#include "Tessary/shell/ui/ApplicationIdentity.h"
#include "TessaryCore/TessaryInfo.h"
#include "TessaryCore/TessaryPaths.h"
#include "WindowEngine/DisplayProvider.h"

using namespace tessary;

namespace {

// The start's arguments and the launcher's startup notification, as a request to the instance.
InstanceRequest requestFrom(int argc, char** argv) {
    InstanceRequest request;
    for (int i = 1; i < argc; ++i) request.arguments.emplace_back(argv[i]);
    if (const char* startup = std::getenv("DESKTOP_STARTUP_ID")) request.startupID = startup;
    return request;
}

// What a start may hand on besides an action: a tessary: URL, in any letter case (the instance
// judges the rest of it), and under the end-to-end switch the tests' own verbs.
bool isRequestForInstance(const std::string& argument) {
    return TessaryInfo::hasURLScheme(argument) || (std::getenv("TESSARY_E2E") && argument.ends_with("-test"));
}

// Start order 1: the help, the version, and a first argument that is no action, no tessary: URL
// and no test verb, are answered at once; no instance is started or asked. Nothing when the start
// goes on.
std::optional<int> answeredAtOnce(const InstanceRequest& request) {
    if (request.arguments.empty()) return std::nullopt;
    const std::string& first = request.arguments.front();
    if (CommandLineVerbs::isHelp(first) || CommandLineVerbs::isVersion(first)) {
        printReply({CommandLineVerbs::isHelp(first) ? CommandLineVerbs::helpText() : CommandLineVerbs::versionText(), 0});
        return 0;
    }
    // A mistyped action or option never starts the program, nor reaches a running one.
    if (!CommandLineVerbs::isVerb(first) && !isRequestForInstance(first)) {
        const InstanceReply reply = CommandLineVerbs::run(first, {});
        printReply(reply);
        return reply.status;
    }
    return std::nullopt;
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

// Start order 2: one instance per user and X display. This start takes the lock (none when there
// is no folder to keep one in), or it hands the request on and ends with the reply's status; an
// action that finds no instance is answered here, and starts nothing.
std::variant<int, std::optional<InstanceLock>> becomeTheInstance(const InstanceRequest& request, const Logger& log) {
    const bool isAction = !request.arguments.empty() && CommandLineVerbs::isVerb(request.arguments.front());
    // Without a display there is nothing to run on, and no instance of this display to hand over to.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fputs("tessary: no X display ($DISPLAY is not set)\n", stderr);
        return 1;
    }
    auto location = locateInstance(display, log);
    if (!location) {
        if (isAction) return answerWithoutInstance(request);
        log.error("No single-instance socket (" + location.error() + "): later starts will not find this one");
        return std::optional<InstanceLock>();
    }
    auto outcome = InstanceClient::becomeOrForward(*location, request);
    if (auto* reply = std::get_if<InstanceReply>(&outcome)) return finishStart(request, *reply);
    if (auto* error = std::get_if<ForwardError>(&outcome)) {
        std::fprintf(stderr, "tessary: cannot reach the running instance: %s\n", error->description.c_str());
        return 1;
    }
    if (isAction) return answerWithoutInstance(request);
    return std::optional<InstanceLock>(std::move(std::get<InstanceLock>(outcome)));
}

// Start orders 3 to 5: the instance, from the Qt application to the end of its main loop.
int runInstance(char** argv, const InstanceRequest& request, std::optional<InstanceLock> lock, const Logger& log) {
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
    TrayFirst first(application, std::move(platform), log);
    BackEnds backEnds(first, argv[0], log);
    ProgramWindows windows(first, backEnds);
    Instance instance(first, backEnds, windows, log);
    instance.launch();
    return instance.serve(std::move(lock), request);
}

}  // namespace

int main(int argc, char** argv) {
    ProcessMemory::keepLargeBlocksOffTheHeap();
    ProcessMemory::shareOneHeap();
    StderrLogSink sink;
    Logger::setSink(&sink);
    Logger log("Tessary");

    const InstanceRequest request = requestFrom(argc, argv);
    if (const auto status = answeredAtOnce(request)) return *status;
    auto instance = becomeTheInstance(request, log);
    if (const int* status = std::get_if<int>(&instance)) return *status;
    return runInstance(argv, request, std::move(std::get<std::optional<InstanceLock>>(instance)), log);
}
