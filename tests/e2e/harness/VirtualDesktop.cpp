#include "tests/e2e/harness/VirtualDesktop.h"

#include <xcb/xtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#ifndef TESSARY_TEST_CLIENT
#error "TESSARY_TEST_CLIENT must name the test client program"
#endif

namespace tessary::e2e {

namespace {

// Openbox's configuration for the tests: one desktop, no margins, new windows focused, and the
// stock mouse bindings plus (unless the desktop asks for the stock ones) Shift+drag and Ctrl+drag
// on the title bar moving the window (a drag to snap holds Shift by default, or Ctrl when the user
// chooses it).
constexpr const char* kOpenboxConfiguration = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy><center>yes</center></placement>
  <desktops><number>1</number></desktops>
  <margins><top>0</top><bottom>0</bottom><left>0</left><right>0</right></margins>
  <keyboard>%KEYBINDINGS%</keyboard>
  <mouse>
    <dragThreshold>1</dragThreshold>
    <context name="Frame">
      <mousebind button="A-Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="A-Left" action="Drag"><action name="Move"/></mousebind>
    </context>
    <context name="Titlebar">
      <mousebind button="Left" action="Drag"><action name="Move"/></mousebind>%MODIFIERMOVES%
    </context>
    <context name="Titlebar Top Right Bottom Left TLCorner TRCorner BRCorner BLCorner">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="S-Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
    <context name="Client">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
  </mouse>
</openbox_config>
)";

// The title bar's moves with the tests' keys held, which openbox's stock configuration lacks.
constexpr const char* kModifierMoves = R"(
      <mousebind button="S-Left" action="Drag"><action name="Move"/></mousebind>
      <mousebind button="C-Left" action="Drag"><action name="Move"/></mousebind>
      <mousebind button="C-S-Left" action="Drag"><action name="Move"/></mousebind>)";

// The desktop-switching bindings of openbox's stock configuration.
constexpr const char* kStockKeyBindings = R"(
    <keybind key="C-A-Left"><action name="GoToDesktop"><to>left</to><wrap>no</wrap></action></keybind>
    <keybind key="C-A-Right"><action name="GoToDesktop"><to>right</to><wrap>no</wrap></action></keybind>
  )";

// Xorg with the dummy video driver: a screen whose monitors are real RandR outputs (DUMMY0,
// DUMMY1...), as on hardware, where Xvfb has one output only. No input devices of its own: XTest's
// are enough.
constexpr const char* kXorgDummyConfiguration = R"(Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1920x1080" 148.50 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3840 1080
    Modes "1920x1080"
  EndSubSection
EndSection
)";

Clock::time_point in(std::chrono::milliseconds duration) {
    return Clock::now() + duration;
}

}  // namespace

VirtualDesktop::VirtualDesktop() : VirtualDesktop(Options{}) {}

VirtualDesktop::VirtualDesktop(Options options) : options_(std::move(options)) {
    char pattern[] = "/tmp/tessary-e2e-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("cannot create a temporary folder");
    directory_ = pattern;
    for (const std::string& folder : {configHome(), dataHome(), runtimeDirectory()}) {
        if (::mkdir(folder.c_str(), 0700) != 0) throw std::runtime_error("cannot create " + folder);
    }
    const int width = options_.monitorWidth, height = options_.monitorHeight;
    if (kind() == Kind::outputs && (options_.monitorCount != 2 || width != 1920 || height != 1080)) {
        throw std::runtime_error("Xorg's dummy outputs are two of 1920x1080 here; other monitors need Xvfb");
    }
    if (options_.monitorCount != 1 && options_.monitorCount != 2) throw std::runtime_error("one or two monitors");
    startServer();
    if (kind() == Kind::outputs) {
        // The second output is switched on beside the first, as a monitor plugged in; the monitors
        // take the names the tests know. The driver reports the output connected only once it is
        // probed, as the server does when hardware is plugged in: until then clients that read the
        // current state and skip disconnected outputs (GTK, so xfwm4) see a screen one monitor wide.
        if (!run({"xrandr", "--addmode", "DUMMY1", "1920x1080"}, in(10s)) ||
            !run({"xrandr", "--output", "DUMMY1", "--mode", "1920x1080", "--pos", "1920x0"}, in(10s)) ||
            !run({"xrandr", "--query"}, in(10s)) ||
            !setMonitor({"tessary-left", 0, 0, 1920, 1080}, "DUMMY0") ||
            !setMonitor({"tessary-right", 1920, 0, 1920, 1080}, "DUMMY1")) {
            throw std::runtime_error("xrandr could not set up the dummy outputs");
        }
    } else if (options_.monitorCount == 1 ? !setMonitor({"tessary-right", 0, 0, width, height}, "screen")
                                          : !setMonitor({"tessary-left", 0, 0, width, height}, "screen") ||
                                                !setMonitor({"tessary-right", width, 0, width, height}, "none")) {
        // The first monitor takes Xvfb's only output; the other has none.
        throw std::runtime_error("xrandr --setmonitor failed");
    }
    if (options_.windowManager) startWindowManager();
    if (options_.tray) startTray();
}

VirtualDesktop::~VirtualDesktop() {
    if (input_) xcb_disconnect(input_);
    tray_.kill();
    windowManager_.kill();
    server_.kill();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

VirtualDesktop::Kind VirtualDesktop::kind() {
    static const Kind chosen = [] {
        const char* wanted = std::getenv("TESSARY_E2E_SERVER");
        const std::string name = wanted ? wanted : "";
        if (name.empty() || name == "xvfb") return Kind::monitors;
        if (name == "xorg-dummy") return Kind::outputs;
        std::fprintf(stderr, "TESSARY_E2E_SERVER names no X server the tests know: %s\n", name.c_str());
        std::exit(2);
    }();
    return chosen;
}

void VirtualDesktop::startServer() {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    ChildProcess::Options start;
    if (kind() == Kind::outputs) {
        // The server binary itself, not the wrapper that may ask for a console: it runs as any user
        // with a configuration of its own (an empty folder keeps the system's snippets out).
        const std::string configuration = directory_ + "/xorg.conf";
        std::ofstream(configuration) << kXorgDummyConfiguration;
        std::filesystem::create_directories(directory_ + "/xorg.conf.d");
        start.arguments = {"/usr/lib/xorg/Xorg", "-displayfd", std::to_string(ready[1]), "-config", configuration,
                           "-configdir", directory_ + "/xorg.conf.d", "-logfile", directory_ + "/Xorg.log",
                           "-noreset", "-nolisten", "tcp", "+extension", "RANDR"};
        start.discardStdout = true;
    } else {
        start.arguments = {"Xvfb", "-displayfd", std::to_string(ready[1]), "-noreset", "-nolisten", "tcp",
                           "+extension", "RANDR", "-screen", "0",
                           std::to_string(options_.monitorCount * options_.monitorWidth) + "x" +
                               std::to_string(options_.monitorHeight) + "x24"};
    }
    start.inheritedDescriptors = {ready[1]};
    server_ = ChildProcess::start(start);
    ::close(ready[1]);
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    auto deadline = in(10s);
    for (;;) {
        pollfd descriptor{ready[0], POLLIN, 0};
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || ::poll(&descriptor, 1, static_cast<int>(left)) <= 0) break;
        char c;
        if (::read(ready[0], &c, 1) != 1 || c == '\n') break;
        number.push_back(c);
    }
    ::close(ready[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start");
    display_ = ":" + number;
    ::setenv("DISPLAY", display_.c_str(), 1);
}

std::vector<std::string> VirtualDesktop::environment() const {
    return {"DISPLAY=" + display_, "XDG_CONFIG_HOME=" + configHome(), "XDG_DATA_HOME=" + dataHome(),
            "XDG_RUNTIME_DIR=" + runtimeDirectory()};
}

void VirtualDesktop::startWindowManager() {
    if (windowManager_.pid() > 0) return;
    options_.windowManager = true;
    const WindowManager& manager = windowManager();
    if (manager.name == "openbox") {
        startOpenbox();
        return;
    }
    xcb_window_t previous = windowManagerCheck();
    xcb_connection_t* watch = watchRoot();
    windowManager_ =
        ChildProcess::start(manager.launch(directory_, display_, options_.stockKeyBindings, options_.panels));
    awaitWindowManager(watch, previous);
    if (options_.panels && manager.drawsPanel()) {
        const Rect root(0, 0, options_.monitorCount * options_.monitorWidth, options_.monitorHeight);
        if (!waitUntil([&] { return announcedWorkArea().maxY() < root.maxY(); }, in(10s))) {
            throw std::runtime_error(manager.name + " announced no room for its panel");
        }
    }
}

Rect VirtualDesktop::announcedWorkArea() {
    xcb_connection_t* c = inputConnection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const Rect root(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    const char* name = "_NET_WORKAREA";
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    if (!atom) return root;
    auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, screen->root, atom->atom, XCB_ATOM_CARDINAL, 0, 4),
                                         nullptr);
    std::free(atom);
    Rect area = root;
    if (reply && xcb_get_property_value_length(reply) == 16) {
        const auto* words = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        area = Rect(words[0], words[1], words[2], words[3]);
    }
    std::free(reply);
    return area;
}

Rect VirtualDesktop::workArea(const Rect& monitor) {
    if (!options_.panels || !windowManager().drawsPanel() || monitor.minX() != 0) return monitor;
    return Rect(monitor.minX(), monitor.minY(), monitor.width(),
                std::min(monitor.maxY(), announcedWorkArea().maxY()) - monitor.minY());
}

void VirtualDesktop::restartWindowManager() {
    if (windowManager().name != "openbox") {
        windowManager_.kill();
        startWindowManager();
        return;
    }
    // openbox re-executes itself without its start-up command: its check window, set anew, is the sign.
    xcb_window_t previous = windowManagerCheck();
    xcb_connection_t* watch = watchRoot();
    if (!run({"openbox", "--restart"}, in(10s))) {
        xcb_disconnect(watch);
        throw std::runtime_error("openbox --restart failed");
    }
    awaitWindowManager(watch, previous);
}

xcb_window_t VirtualDesktop::windowManagerCheck() {
    xcb_connection_t* c = inputConnection();
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const char* name = "_NET_SUPPORTING_WM_CHECK";
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    if (!atom) return XCB_WINDOW_NONE;
    auto read = [&](xcb_window_t window) {
        auto* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
        xcb_window_t value = XCB_WINDOW_NONE;
        if (reply && xcb_get_property_value_length(reply) == 4) {
            value = *static_cast<xcb_window_t*>(xcb_get_property_value(reply));
        }
        std::free(reply);
        return value;
    };
    // A live window manager's check window names itself; a dead one's is gone.
    xcb_window_t check = read(root);
    xcb_window_t self = check != XCB_WINDOW_NONE ? read(check) : xcb_window_t{XCB_WINDOW_NONE};
    std::free(atom);
    return check != XCB_WINDOW_NONE && self == check ? check : xcb_window_t{XCB_WINDOW_NONE};
}

xcb_connection_t* VirtualDesktop::watchRoot() {
    xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return c;
}

void VirtualDesktop::awaitWindowManager(xcb_connection_t* watch, xcb_window_t previous) {
    const char* name = "_NET_SUPPORTING_WM_CHECK";
    auto* atom = xcb_intern_atom_reply(watch, xcb_intern_atom(watch, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t checkAtom = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(atom);
    // A restarted window manager may get its old check window's id again: a new value of the
    // property also counts.
    bool announced = false;
    const auto deadline = in(30s);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(watch)) {
            const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && change->atom == checkAtom &&
                change->state == XCB_PROPERTY_NEW_VALUE) {
                announced = true;
            }
            std::free(event);
        }
        xcb_window_t check = windowManagerCheck();
        if (check != XCB_WINDOW_NONE && (check != previous || announced)) break;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(watch)) {
            xcb_disconnect(watch);
            throw std::runtime_error(windowManager().name + " did not start");
        }
        pollfd descriptor{xcb_get_file_descriptor(watch), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(left));
    }
    xcb_disconnect(watch);
}

void VirtualDesktop::startOpenbox() {
    std::string configuration = directory_ + "/rc.xml";
    std::string text = kOpenboxConfiguration;
    const std::string placeholder = "%KEYBINDINGS%";
    text.replace(text.find(placeholder), placeholder.size(), options_.stockKeyBindings ? kStockKeyBindings : "");
    const std::string moves = "%MODIFIERMOVES%";
    text.replace(text.find(moves), moves.size(), options_.stockMouseBindings ? "" : kModifierMoves);
    std::ofstream(configuration) << text;
    // Also where openbox looks after a restart, which drops its command line's options.
    std::filesystem::create_directories(directory_ + "/openbox");
    std::ofstream(directory_ + "/openbox/rc.xml") << text;
    std::string fifo = directory_ + "/ready";
    if (!std::filesystem::exists(fifo) && ::mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo");
    int ready = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ChildProcess::Options start;
    // openbox runs the startup command once it manages the screen: that is the ready signal.
    start.arguments = {"openbox", "--config-file", configuration, "--startup",
                       "sh -c 'echo ready > " + fifo + "'"};
    start.environment = {"DISPLAY=" + display_, "XDG_CONFIG_HOME=" + directory_,
                         "XDG_CACHE_HOME=" + directory_};
    windowManager_ = ChildProcess::start(start);
    pollfd descriptor{ready, POLLIN, 0};
    int answered = ::poll(&descriptor, 1, 10'000);
    ::close(ready);
    if (answered <= 0) throw std::runtime_error("openbox did not start");
}

ChildProcess VirtualDesktop::start(std::vector<std::string> arguments, bool pipes) {
    ChildProcess::Options start;
    start.arguments = std::move(arguments);
    start.environment = environment();
    start.pipeStdin = pipes;
    start.pipeStdout = pipes;
    start.discardStdout = !pipes;
    return ChildProcess::start(start);
}

bool VirtualDesktop::run(std::vector<std::string> arguments, Clock::time_point deadline) {
    ChildProcess process = start(std::move(arguments));
    auto status = process.waitForExit(deadline);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

bool VirtualDesktop::setMonitor(const Monitor& monitor, const std::string& output) {
    // Physical size at about 96 dots per inch; it only matters to programs that ask.
    std::string geometry = std::to_string(monitor.width) + "/" + std::to_string(monitor.width * 254 / 960) +
                           "x" + std::to_string(monitor.height) + "/" +
                           std::to_string(monitor.height * 254 / 960) + "+" + std::to_string(monitor.x) +
                           "+" + std::to_string(monitor.y);
    return run({"xrandr", "--setmonitor", monitor.name, geometry, output}, in(10s));
}

bool VirtualDesktop::deleteMonitor(const std::string& name) {
    return run({"xrandr", "--delmonitor", name}, in(10s));
}

void VirtualDesktop::startTray() {
    const xcb_window_t before = trayOwner();
    tray_ = start({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "96",
                   "--heighttype", "pixel", "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "false",
                   "--expand", "false"});
    // Ready once it owns the tray selection of screen 0 (a window manager's own tray may have held
    // it before).
    const bool owned = waitUntil(
        [&] {
            const xcb_window_t owner = trayOwner();
            return owner != XCB_WINDOW_NONE && owner != before;
        },
        in(10s));
    if (!owned) throw std::runtime_error("trayer did not start");
}

xcb_window_t VirtualDesktop::trayOwner() {
    xcb_connection_t* c = inputConnection();
    const char* name = "_NET_SYSTEM_TRAY_S0";
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t selection = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const xcb_window_t found = owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
    std::free(owner);
    return found;
}

TestClient VirtualDesktop::startClient() {
    return TestClient(start({TESSARY_TEST_CLIENT}, true));
}

ChildProcess VirtualDesktop::startXterm(const std::string& geometry, const std::string& title) {
    return start({"xterm", "-geometry", geometry, "-title", title, "-e", "cat"});
}

xcb_connection_t* VirtualDesktop::inputConnection() {
    if (!input_) {
        input_ = xcb_connect(display_.c_str(), nullptr);
        if (xcb_connection_has_error(input_)) throw std::runtime_error("cannot connect for input");
    }
    return input_;
}

void VirtualDesktop::movePointerTo(int x, int y, bool paced) {
    xcb_connection_t* c = inputConnection();
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, static_cast<int16_t>(x),
                        static_cast<int16_t>(y), 0);
    syncInput();
    if (paced && options_.windowManager) syncWindowManager();
}

void VirtualDesktop::warpPointerTo(int x, int y, bool paced) {
    xcb_connection_t* c = inputConnection();
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_warp_pointer(c, XCB_WINDOW_NONE, root, 0, 0, 0, 0, static_cast<int16_t>(x), static_cast<int16_t>(y));
    syncInput();
    if (paced && options_.windowManager) syncWindowManager();
}

void VirtualDesktop::movePointerBy(int dx, int dy) {
    // detail 1: relative motion.
    xcb_test_fake_input(inputConnection(), XCB_MOTION_NOTIFY, 1, XCB_CURRENT_TIME, XCB_WINDOW_NONE,
                        static_cast<int16_t>(dx), static_cast<int16_t>(dy), 0);
    syncInput();
    if (options_.windowManager) syncWindowManager();
}

bool VirtualDesktop::syncWindowManager() {
    xcb_connection_t* c = inputConnection();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (!probe_) {
        // Unmapped and not override-redirect: the window manager is asked to configure it.
        probe_ = xcb_generate_id(c);
        uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe_, screen->root, -10, -10, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    }
    // Every window manager redirects configure requests and grants an unmanaged window's at once,
    // in the order of its event queue, also during a move: once it has, it has handled the input
    // sent before. (Not every one answers _NET_REQUEST_FRAME_EXTENTS, or does so during a move.)
    probeX_ = probeX_ == -10 ? -11 : -10;
    uint32_t x = static_cast<uint32_t>(probeX_);
    xcb_configure_window(c, probe_, XCB_CONFIG_WINDOW_X, &x);
    xcb_flush(c);
    auto deadline = in(2s);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const auto* configured = reinterpret_cast<xcb_configure_notify_event_t*>(event);
            bool answered = (event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY && configured->window == probe_ &&
                            configured->x == probeX_;
            std::free(event);
            if (answered) return true;
        }
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || xcb_connection_has_error(c)) return false;
        pollfd descriptor{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(left));
    }
}

void VirtualDesktop::pressButton(int button, bool down) {
    xcb_test_fake_input(inputConnection(), down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE,
                        static_cast<uint8_t>(button), XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
    syncInput();
}

void VirtualDesktop::pressKey(uint32_t keysym, bool down) {
    const uint8_t keycode = keyCode(keysym);
    if (!keycode) throw std::runtime_error("no key for the keysym");
    xcb_test_fake_input(inputConnection(), down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME,
                        XCB_WINDOW_NONE, 0, 0, 0);
    syncInput();
}

uint8_t VirtualDesktop::keyCode(uint32_t keysym) {
    xcb_connection_t* c = inputConnection();
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto* mapping = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, setup->max_keycode - setup->min_keycode + 1),
        nullptr);
    if (!mapping) throw std::runtime_error("no keyboard mapping");
    xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
    int perCode = mapping->keysyms_per_keycode;
    uint8_t keycode = 0;
    for (int code = setup->min_keycode; code <= setup->max_keycode && !keycode; ++code) {
        for (int i = 0; i < perCode; ++i) {
            if (symbols[(code - setup->min_keycode) * perCode + i] == keysym) {
                keycode = static_cast<uint8_t>(code);
                break;
            }
        }
    }
    std::free(mapping);
    return keycode;
}

void VirtualDesktop::syncInput() {
    xcb_connection_t* c = inputConnection();
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// --- TestClient ----------------------------------------------------------------------------------

bool TestClient::expect(const std::string& answer) {
    auto line = process_.readLine(in(5s));
    return line && *line == answer;
}

xcb_window_t TestClient::open(const std::string& options) {
    if (!process_.writeLine("open " + options)) return 0;
    auto line = process_.readLine(in(5s));
    if (!line || line->rfind("opened ", 0) != 0) return 0;
    return static_cast<xcb_window_t>(std::strtoul(line->c_str() + 7, nullptr, 10));
}

void TestClient::close(xcb_window_t window) {
    process_.writeLine("close " + std::to_string(window));
    expect("closed " + std::to_string(window));
}

void TestClient::closeOnConfigure(xcb_window_t window, int n) {
    process_.writeLine("closeOnConfigure " + std::to_string(window) + " " + std::to_string(n));
    expect("armed " + std::to_string(window));
}

}  // namespace tessary::e2e
