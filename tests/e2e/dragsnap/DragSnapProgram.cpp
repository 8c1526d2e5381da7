// Drag-to-snap as the program will wire it, without the rest of the program: the X11 back ends, the
// window engine, the zone service over "layouts.json" in $XDG_DATA_HOME/Tessary, window memory, the
// global input and input monitor, the drag controller and the Qt overlay. It tells the test what happens, one
// line per event on standard output:
//   ready                              the monitor is registered
//   display ID KEY                     one line per display, after ready
//   show ID:ZONES ...                  the overlay appears (zones per display)
//   highlight ID [I,J]                 the overlay highlights these zones of that display
//   hide
//   snap ID [I,J] X Y W H              a window was snapped into the zones of that display (and
//                                      window memory, "memory.json" beside the layouts, records it)
//   ended                              a drag moved a window and ended without a snap
//   input KIND X Y PHASE               a global notice (down, up, drag, keys) and the drag's phase
//                                      after it, for the test's failure messages
// Lines on standard input show the zones the other ways the program does, each answered once done:
//   flash                              every display's zones for 10 s ("Show Zones"): "flashed"
//   preview ID                         the zones of that display until taken off (the layout
//                                      editor's preview): "previewed"
//   unpreview                          takes the preview off: "unpreviewed"
//   highlight ID I                     highlights zone I of that display, as a drag over it
//                                      does: "highlighted"
//   note ID I TEXT                     the same, with TEXT in the hint in place of its advice (a
//                                      window that does not fit): "highlighted"
// Run with QT_QPA_PLATFORM=xcb and DISPLAY set; it runs until it is killed.

#include <QApplication>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

#include "Platform/Qt/QtEventPump.h"
#include "Platform/Qt/QtScheduler.h"
#include "Platform/Sim/MemoryUserDefaults.h"
#include "Platform/X11/X11CompositorWatcher.h"
#include "Platform/X11/X11GlobalInput.h"
#include "Platform/X11/X11Platform.h"
#include "Tessary/services/DragSnapController.h"
#include "Tessary/services/InputMonitor.h"
#include "Tessary/services/WindowMemoryService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/services/ui/OverlayController.h"
#include "TessaryCore/TessaryPaths.h"
#include "WindowEngine/AXWindowEngine.h"
#include "WindowEngine/DisplayProvider.h"

using namespace tessary;

namespace {

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string list(const std::vector<std::int64_t>& indices) {
    std::string text = "[";
    for (size_t i = 0; i < indices.size(); ++i) text += (i ? "," : "") + std::to_string(indices[i]);
    return text + "]";
}

std::string number(double value) { return std::to_string(static_cast<long long>(value)); }

// Tells the test what the overlay is asked to do, then does it.
class ReportingOverlay : public OverlayPresenting {
public:
    explicit ReportingOverlay(OverlayController& overlay) : overlay_(overlay) {}

    void show(const std::vector<OverlayItem>& items) override {
        std::string line = "show";
        for (const auto& item : items) {
            line += " " + std::to_string(item.display.displayID) + ":" + std::to_string(item.zones.size());
        }
        overlay_.show(items);
        say(line);
    }
    void setHighlighted(const std::vector<std::int64_t>& indices, const DisplayInfo& display,
                        std::string_view note) override {
        overlay_.setHighlighted(indices, display, note);
        say("highlight " + std::to_string(display.displayID) + " " + list(indices));
    }
    void hide() override {
        overlay_.hide();
        say("hide");
    }

private:
    OverlayController& overlay_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    auto platform = X11Platform::open();
    if (!platform) {
        std::fputs("cannot connect to the X server\n", stderr);
        return 1;
    }
    QtEventPump pump(platform->fileDescriptor(), [&] { return platform->processPendingEvents(); },
                     [&] { return platform->processPendingEvents(X11Connection::Read::queuedOnly); });
    QtScheduler scheduler;
    DisplayProvider::setScreens(&platform->screens());

    auto engine = std::make_shared<AXWindowEngine>(platform->accessibility(), platform->workspace());
    ZoneService zoneService(engine, JSONDocumentStore<LayoutLibrary>(TessaryPaths::layoutsURL()));
    MemoryUserDefaults defaults;
    Preferences preferences(defaults);
    // As the application gives it: the user's centring preference (on by default).
    engine->centersWindowsThatCannotFill = [&preferences] { return preferences.centerUnresizableWindows(); };
    // "activation=control span=command": the keys a user of a window manager that takes Shift+drag
    // for itself would choose.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.rfind("activation=", 0) == 0) {
            if (auto modifier = activationModifierFromRawValue(argument.substr(11))) {
                preferences.setActivationModifier(*modifier);
            }
        } else if (argument.rfind("span=", 0) == 0) {
            if (auto modifier = spanModifierFromRawValue(argument.substr(5))) preferences.setSpanModifier(*modifier);
        }
    }
    OverlayController overlayController(preferences, scheduler);
    // "--idle-release-ms N": how long the hidden overlay keeps its pixels (tests wait less).
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--idle-release-ms") == 0) {
            overlayController.idleRelease = std::chrono::milliseconds(std::atol(argv[i + 1]));
        }
    }
    X11CompositorWatcher compositor(platform->connection());
    overlayController.isCompositing = [&] { return compositor.isCompositing(); };
    ReportingOverlay overlay(overlayController);

    DragSnapController controller(
        *engine, preferences, overlay, [] { return DisplayProvider::displays(); },
        [&](const DisplayInfo& display) { return zoneService.zones(display); }, scheduler);
    controller.isExcluded = zoneService.isExcluded;
    WindowMemoryService memory(zoneService, [] { return DisplayProvider::displays(); },
                               JSONDocumentStore<WindowPlacementMemory>(TessaryPaths::memoryURL()), scheduler);
    controller.onSnap = [&memory](const WindowHandle& window, const DisplayInfo& display,
                                  const SpanSelection& selection, const Rect& frame) {
        memory.remember(window, display, selection.zoneIndices);
        say("snap " + std::to_string(display.displayID) + " " + list(selection.zoneIndices) + " " +
            number(frame.x()) + " " + number(frame.y()) + " " + number(frame.width()) + " " + number(frame.height()));
    };
    controller.onDragEndedWithoutSnap = [](const WindowHandle&) { say("ended"); };

    X11GlobalInput input(platform->connection(), &scheduler);
    InputMonitor monitor(input, controller);
    if (!monitor.start()) {
        std::fputs("no global input\n", stderr);
        return 1;
    }
    // Registered after the input monitor's, so it runs after the controller has handled the notice.
    Subscription trace = input.addMonitor([&](const GlobalInputEvent& event) {
        static const char* const kinds[] = {"down", "up", "drag", "keys"};
        static const char* const phases[] = {"idle", "tracking", "snapping"};
        say(std::string("input ") + kinds[int(event.kind)] + " " + number(event.location.x) + " " +
            number(event.location.y) + " " + phases[int(controller.phase())]);
    });
    auto allZones = [&] {
        std::vector<OverlayItem> items;
        for (const auto& display : DisplayProvider::displays()) items.push_back({display, zoneService.zones(display)});
        return items;
    };
    QSocketNotifier commands(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            commands.setEnabled(false);
            return;
        }
        pending.append(buffer, std::size_t(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const std::string line = pending.substr(0, end);
            if (line == "flash") {
                overlayController.flash(allZones(), std::chrono::seconds(10));
                say("flashed");
            } else if (line.rfind("preview ", 0) == 0) {
                std::vector<OverlayItem> items;
                for (auto& item : allZones()) {
                    if (std::to_string(item.display.displayID) == line.substr(8)) items.push_back(std::move(item));
                }
                overlayController.showPreview(items);
                say("previewed");
            } else if (line == "unpreview") {
                overlayController.hidePreview();
                say("unpreviewed");
            } else if (line.rfind("highlight ", 0) == 0) {
                const std::string id = line.substr(10, line.find(' ', 10) - 10);
                const std::int64_t zone = std::atoll(line.substr(line.rfind(' ') + 1).c_str());
                for (const auto& display : DisplayProvider::displays()) {
                    if (std::to_string(display.displayID) == id) overlayController.setHighlighted({zone}, display, {});
                }
                say("highlighted");
            } else if (line.rfind("note ", 0) == 0) {
                std::istringstream words(line.substr(5));
                std::string id, note;
                std::int64_t zone = 0;
                words >> id >> zone;
                std::getline(words >> std::ws, note);
                for (const auto& display : DisplayProvider::displays()) {
                    if (std::to_string(display.displayID) == id) overlayController.setHighlighted({zone}, display, note);
                }
                say("highlighted");
            }
        }
    });
    say("ready");
    for (const auto& display : DisplayProvider::displays()) {
        say("display " + std::to_string(display.displayID) + " " + display.displayKey().description());
    }
    return application.exec();
}
