#include "tests/e2e/harness/WindowManager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace tessary::e2e {

namespace {

constexpr uint32_t kShiftL = 0xffe1, kControlL = 0xffe3, kSuperL = 0xffeb;

// icewm: its taskbar off unless the panels are asked for (as it installs: along the bottom of the
// first monitor, with its tray); a title bar drag moves with any modifier held. Its workspace keys
// (Ctrl+Alt+1..9, Ctrl+Alt+Left/Right/Down) are unbound, as a user of a zone manager frees them:
// the window manager would take them from every other client; and the Super key neither opens its
// menu when let go nor stands for Ctrl+Alt, so that Ctrl+Alt+Super shortcuts reach their owner.
constexpr const char* kIcewmNoTaskBar = "ShowTaskBar=0\n";
constexpr const char* kIcewmPreferences = R"(TaskBarAutoHide=0
FocusMode=1
Win95Keys=0
ModSuperIsCtrlAlt=0
)";
constexpr const char* kIcewmFreedKeys = R"(KeySysWorkspace1=""
KeySysWorkspace2=""
KeySysWorkspace3=""
KeySysWorkspace4=""
KeySysWorkspace5=""
KeySysWorkspace6=""
KeySysWorkspace7=""
KeySysWorkspace8=""
KeySysWorkspace9=""
KeySysWorkspacePrev=""
KeySysWorkspaceNext=""
KeySysWorkspaceLast=""
)";

// fluxbox: no toolbar or slit unless the panels are asked for (then its stock toolbar, system tray
// included, along the bottom of the first monitor), one workspace, no snapping to edges, and title
// bar moves with the tests' keys held (its bindings match modifiers exactly). Without the panels
// its toolbar has no system tray, which would hold the tray selection (hidden with the toolbar)
// before trayer could.
constexpr const char* kFluxboxNoToolbar = R"(session.screen0.toolbar.visible: false
session.screen0.toolbar.tools: iconbar, clock
)";
constexpr const char* kFluxboxToolbar = R"(session.screen0.toolbar.visible: true
session.screen0.toolbar.tools: prevworkspace, workspacename, nextworkspace, clock, prevwindow, nextwindow, iconbar, systemtray
)";
constexpr const char* kFluxboxInit = R"(session.screen0.slit.autoHide: true
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
OnTitlebar Control Move1 :StartMoving
OnTitlebar Control Shift Move1 :StartMoving
)";

// jwm: no tray unless the panels are asked for (then its stock tray along the bottom of the first
// monitor, a system tray in it; without the clock it swallows, which is not installed), one desktop,
// no snapping to edges, title bar moves with or without Shift.
constexpr const char* kJwmTray = R"(  <Tray x="0" y="-1" height="25" autohide="off" delay="1000">
    <TrayButton label="_">showdesktop</TrayButton>
    <Spacer width="2"/>
    <Pager labeled="true"/>
    <TaskList maxwidth="256"/>
    <Dock/>
    <Clock format="%l:%M %p"/>
  </Tray>
)";
constexpr const char* kJwmConfiguration = R"(<?xml version="1.0"?>
<JWM>
%TRAY%  <Desktops width="1" height="1"/>
  <FocusModel>click</FocusModel>
  <SnapMode>none</SnapMode>
  <Mouse context="title" button="1">move</Mouse>
  <Mouse context="title" mask="S" button="1">move</Mouse>
  <Mouse context="title" mask="C" button="1">move</Mouse>
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

// kwin's global shortcuts (kglobalaccel, started on its D-Bus session): Meta+Left/Right/Up/Down tile
// the active window, so a user who records them for this program frees them first.
constexpr const char* kKwinShortcuts = R"([kwin]
Window Quick Tile Left=none,Meta+Left,Quick Tile Window to the Left
Window Quick Tile Right=none,Meta+Right,Quick Tile Window to the Right
Window Quick Tile Top=none,Meta+Up,Quick Tile Window to the Top
Window Quick Tile Bottom=none,Meta+Down,Quick Tile Window to the Bottom
)";

// xfwm4: no snapping to edges or other windows, and no tiling of a window dragged to a monitor's
// edge, which a user of drag-to-snap turns off (its settings channel, read by xfconfd).
constexpr const char* kXfwm4Channel = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfwm4" version="1.0">
  <property name="general" type="empty">
    <property name="snap_to_border" type="bool" value="false"/>
    <property name="snap_to_windows" type="bool" value="false"/>
    <property name="snap_width" type="int" value="0"/>
    <property name="wrap_windows" type="bool" value="false"/>
    <property name="tile_on_move" type="bool" value="false"/>
    <property name="use_compositing" type="bool" value="false"/>
  </property>
</channel>
)";

// xfwm4's own key bindings (its "custom" set replaces the stock one): the stock set without
// Ctrl+Alt+Left/Right, which switch workspaces there.
constexpr const char* kXfwm4Shortcuts = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-keyboard-shortcuts" version="1.0">
  <property name="xfwm4" type="empty">
    <property name="custom" type="empty">
      <property name="override" type="bool" value="true"/>
      <property name="Escape" type="string" value="cancel_key"/>
      <property name="Left" type="string" value="left_key"/>
      <property name="Right" type="string" value="right_key"/>
      <property name="Up" type="string" value="up_key"/>
      <property name="Down" type="string" value="down_key"/>
      <property name="&lt;Alt&gt;Tab" type="string" value="cycle_windows_key"/>
      <property name="&lt;Alt&gt;&lt;Shift&gt;Tab" type="string" value="cycle_reverse_windows_key"/>
      <property name="&lt;Alt&gt;F4" type="string" value="close_window_key"/>
      <property name="&lt;Alt&gt;F7" type="string" value="move_window_key"/>
      <property name="&lt;Alt&gt;F8" type="string" value="resize_window_key"/>
      <property name="&lt;Alt&gt;F10" type="string" value="maximize_window_key"/>
      <property name="&lt;Alt&gt;F11" type="string" value="fullscreen_key"/>
      <property name="&lt;Alt&gt;space" type="string" value="popup_menu_key"/>
      <property name="&lt;Primary&gt;&lt;Alt&gt;Up" type="string" value="up_workspace_key"/>
      <property name="&lt;Primary&gt;&lt;Alt&gt;Down" type="string" value="down_workspace_key"/>
      <property name="&lt;Primary&gt;&lt;Alt&gt;d" type="string" value="show_desktop_key"/>
    </property>
  </property>
</channel>
)";

// metacity and marco read their key bindings through GSettings: a key file of the user's own
// unbinds the workspace switches on Ctrl+Alt+Left/Right (metacity keeps its Super bindings).
constexpr const char* kGSettingsKeyFile = R"([org/gnome/desktop/wm/keybindings]
switch-to-workspace-left=['<Super>Page_Up','<Super><Alt>Left']
switch-to-workspace-right=['<Super>Page_Down','<Super><Alt>Right']
move-to-workspace-left=['<Super><Shift>Page_Up','<Super><Shift><Alt>Left']
move-to-workspace-right=['<Super><Shift>Page_Down','<Super><Shift><Alt>Right']

[org/mate/marco/global-keybindings]
switch-to-workspace-left='disabled'
switch-to-workspace-right='disabled'

[org/mate/marco/window-keybindings]
move-to-workspace-left='disabled'
move-to-workspace-right='disabled'
)";

void write(const std::filesystem::path& path, const char* text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

}  // namespace

const std::vector<WindowManager>& WindowManager::all() {
    static const std::vector<WindowManager> managers = {
        {"openbox", true, true, "shift", "control", 0, false, true},
        {"icewm"},
        {"xfwm4", false, true},
        {"fluxbox", false, false},
        {"jwm", false, false},
        {"metacity", true, true, "control", "command", 32, true},
        {"marco", true, true, "control", "command", 32, true},
        {"kwin_x11", true, false, "control", "command", 0, false, true},
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

ChildProcess::Options WindowManager::launch(const std::string& directory, const std::string& display,
                                           bool stockKeyBindings, bool panels) const {
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
        write(home / "icewm" / "preferences", (std::string(panels ? "" : kIcewmNoTaskBar) + kIcewmPreferences +
                                               (stockKeyBindings ? "" : kIcewmFreedKeys))
                                                  .c_str());
        options.environment.push_back("ICEWM_PRIVCFG=" + directory + "/icewm");
        options.arguments = {"icewm"};
    } else if (name == "xfwm4") {
        write(home / "config" / "xfce4" / "xfconf" / "xfce-perchannel-xml" / "xfwm4.xml", kXfwm4Channel);
        write(home / "config" / "xfce4" / "xfconf" / "xfce-perchannel-xml" / "xfce4-keyboard-shortcuts.xml",
              kXfwm4Shortcuts);
        options.arguments = {"dbus-run-session", "--", "xfwm4", "--compositor=off", "--sm-client-disable"};
    } else if (name == "fluxbox") {
        // In ~/.fluxbox: where that folder is missing, fluxbox takes the first run and writes its
        // stock configuration over the one it was given.
        const std::string folder = directory + "/.fluxbox";
        std::string init = std::string(kFluxboxInit) + (panels ? kFluxboxToolbar : kFluxboxNoToolbar);
        init += "session.keyFile: " + folder + "/keys\n";
        init += "session.styleOverlay: " + folder + "/overlay\n";
        write(home / ".fluxbox" / "init", init.c_str());
        write(home / ".fluxbox" / "keys", kFluxboxKeys);
        write(home / ".fluxbox" / "overlay", kFluxboxOverlay);
        options.arguments = {"fluxbox", "-rc", folder + "/init"};
    } else if (name == "jwm") {
        std::string configuration = kJwmConfiguration;
        configuration.replace(configuration.find("%TRAY%"), 6, panels ? kJwmTray : "");
        write(home / ".jwmrc", configuration.c_str());
        options.arguments = {"jwm"};
    } else if (name == "metacity" || name == "marco") {
        write(home / "config" / "glib-2.0" / "settings" / "keyfile", kGSettingsKeyFile);
        std::replace(options.environment.begin(), options.environment.end(), std::string("GSETTINGS_BACKEND=memory"),
                     std::string("GSETTINGS_BACKEND=keyfile"));
        options.arguments = {name, "--replace"};
    } else if (name == "kwin_x11") {
        write(home / "config" / "kwinrc", kKwinConfiguration);
        write(home / "config" / "kglobalshortcutsrc", kKwinShortcuts);
        options.arguments = {"dbus-run-session", "--", "kwin_x11", "--replace"};
    }
    return options;
}

std::string WindowManager::onboardedUserDefaults() const {
    std::string text = "{\"hasCompletedOnboarding\": true";
    if (activationModifier != "shift") {
        // The preferences are one JSON value stored as text; keys it leaves out take their defaults.
        text += ", \"preferences.v1\": {\"data\": \"{\\\"activationModifier\\\":\\\"" + activationModifier +
                "\\\",\\\"spanModifier\\\":\\\"" + spanModifier + "\\\"}\"}";
    }
    return text + "}\n";
}

uint32_t WindowManager::activationKeysym() const {
    return activationModifier == "control" ? kControlL : kShiftL;
}

uint32_t WindowManager::spanKeysym() const {
    if (spanModifier == "command") return kSuperL;
    return spanModifier == "shift" ? kShiftL : kControlL;
}

}  // namespace tessary::e2e
