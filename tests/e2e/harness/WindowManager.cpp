#include "tests/e2e/harness/WindowManager.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tessary::e2e {

namespace {

constexpr uint32_t kShiftL = 0xffe1, kControlL = 0xffe3, kSuperL = 0xffeb;

// icewm: its taskbar off; a title bar drag moves with any modifier held.
constexpr const char* kIcewmPreferences = R"(ShowTaskBar=0
TaskBarAutoHide=0
FocusMode=1
)";

// fluxbox: no toolbar or slit, one workspace, no snapping to edges, and title bar moves with the
// tests' keys held (its bindings match modifiers exactly).
constexpr const char* kFluxboxInit = R"(session.screen0.toolbar.visible: false
session.screen0.slit.autoHide: true
session.screen0.workspaces: 1
session.screen0.focusNewWindows: true
session.screen0.allowRemoteActions: true
session.screen0.edgeSnapThreshold: 0
session.screen0.edgeResizeSnapThreshold: 0
)";
// Its styles set a wallpaper through a helper that shows a message window when it fails.
constexpr const char* kFluxboxOverlay = "background: none\n";
constexpr const char* kFluxboxKeys = R"(OnWindow Mod1 Mouse1 :MacroCmd {Raise} {Focus} {StartMoving}
OnTitlebar Mouse1 :MacroCmd {Raise} {Focus} {ActivateTab}
OnTitlebar Move1 :StartMoving
OnTitlebar Shift Mouse1 :MacroCmd {Raise} {Focus}
OnTitlebar Shift Move1 :StartMoving
OnTitlebar Control Shift Move1 :StartMoving
)";

// jwm: no tray, one desktop, no snapping to edges, title bar moves with or without Shift.
constexpr const char* kJwmConfiguration = R"(<?xml version="1.0"?>
<JWM>
  <Desktops width="1" height="1"/>
  <FocusModel>click</FocusModel>
  <SnapMode>none</SnapMode>
  <Mouse context="title" button="1">move</Mouse>
  <Mouse context="title" mask="S" button="1">move</Mouse>
  <Mouse context="title" mask="SC" button="1">move</Mouse>
  <Mouse context="border" button="1">resize</Mouse>
</JWM>
)";

// kwin: the Breeze decoration, no compositing (Xvfb has no GL), no snapping to edges.
constexpr const char* kKwinConfiguration = R"([org.kde.kdecoration2]
library=org.kde.breeze
theme=Breeze

[Compositing]
Enabled=false

[Windows]
Placement=Smart
BorderSnapZone=0
WindowSnapZone=0
CenterSnapZone=0
)";

// xfwm4: no snapping to edges or other windows (its settings channel, read by xfconfd).
constexpr const char* kXfwm4Channel = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfwm4" version="1.0">
  <property name="general" type="empty">
    <property name="snap_to_border" type="bool" value="false"/>
    <property name="snap_to_windows" type="bool" value="false"/>
    <property name="snap_width" type="int" value="0"/>
    <property name="wrap_windows" type="bool" value="false"/>
    <property name="use_compositing" type="bool" value="false"/>
  </property>
</channel>
)";

void write(const std::filesystem::path& path, const char* text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

}  // namespace

const std::vector<WindowManager>& WindowManager::all() {
    static const std::vector<WindowManager> managers = {
        {"openbox"},
        {"icewm"},
        {"xfwm4", false, true},
        {"fluxbox", false, false},
        {"jwm", false, false},
        {"metacity", true, true, "control", "command"},
        {"marco", true, true, "control", "command"},
        {"kwin_x11", true, false, "control", "command"},
    };
    return managers;
}

const WindowManager& WindowManager::current() {
    static const WindowManager& chosen = [] () -> const WindowManager& {
        const char* wanted = std::getenv("TESSARY_E2E_WM");
        const std::string name = wanted && *wanted ? wanted : "openbox";
        for (const WindowManager& manager : all()) {
            if (manager.name == name) return manager;
        }
        std::fprintf(stderr, "TESSARY_E2E_WM names no window manager the tests know: %s\n", name.c_str());
        std::exit(2);
    }();
    return chosen;
}

ChildProcess::Options WindowManager::launch(const std::string& directory, const std::string& display) const {
    const std::filesystem::path home = directory;
    ChildProcess::Options options;
    // Each reads its configuration from a home of its own; Qt's test platform is not for it.
    options.environment = {"DISPLAY=" + display, "HOME=" + directory, "XDG_CONFIG_HOME=" + directory + "/config",
                           "XDG_CACHE_HOME=" + directory + "/cache", "XDG_DATA_HOME=" + directory + "/data",
                           "QT_QPA_PLATFORM=xcb", "GSETTINGS_BACKEND=memory", "NO_AT_BRIDGE=1"};
    options.discardStdout = true;
    // A private D-Bus session's daemon, or fluxbox's background setter, must end with it.
    options.ownProcessGroup = true;
    if (name == "icewm") {
        write(home / "icewm" / "preferences", kIcewmPreferences);
        options.environment.push_back("ICEWM_PRIVCFG=" + directory + "/icewm");
        options.arguments = {"icewm"};
    } else if (name == "xfwm4") {
        write(home / "config" / "xfce4" / "xfconf" / "xfce-perchannel-xml" / "xfwm4.xml", kXfwm4Channel);
        options.arguments = {"dbus-run-session", "--", "xfwm4", "--compositor=off", "--sm-client-disable"};
    } else if (name == "fluxbox") {
        // In ~/.fluxbox: where that folder is missing, fluxbox takes the first run and writes its
        // stock configuration over the one it was given.
        const std::string folder = directory + "/.fluxbox";
        std::string init = kFluxboxInit;
        init += "session.keyFile: " + folder + "/keys\n";
        init += "session.styleOverlay: " + folder + "/overlay\n";
        write(home / ".fluxbox" / "init", init.c_str());
        write(home / ".fluxbox" / "keys", kFluxboxKeys);
        write(home / ".fluxbox" / "overlay", kFluxboxOverlay);
        options.arguments = {"fluxbox", "-rc", folder + "/init"};
    } else if (name == "jwm") {
        write(home / ".jwmrc", kJwmConfiguration);
        options.arguments = {"jwm"};
    } else if (name == "metacity") {
        options.arguments = {"metacity", "--replace"};
    } else if (name == "marco") {
        options.arguments = {"marco", "--replace"};
    } else if (name == "kwin_x11") {
        write(home / "config" / "kwinrc", kKwinConfiguration);
        options.arguments = {"dbus-run-session", "--", "kwin_x11", "--replace"};
    }
    return options;
}

uint32_t WindowManager::activationKeysym() const {
    return activationModifier == "control" ? kControlL : kShiftL;
}

uint32_t WindowManager::spanKeysym() const {
    if (spanModifier == "command") return kSuperL;
    return spanModifier == "shift" ? kShiftL : kControlL;
}

}  // namespace tessary::e2e
