// Every test program pins, before its main, what of the desktop its verdict could depend on: the
// fonts (a fontconfig file of the build's naming only the fonts scripts/setup installs), the Qt
// style and platform theme, the desktop's name, GTK's theme, the cursor theme and the session bus (a
// desktop session's would hand notices and the tray to the user's own desktop; the buses the tests
// start themselves start none of the desktop's services: PinnedDesktop.h). The programs the
// tests start inherit it. A user's desktop machine and a bare one then give the same verdict.
// TESSARY_TEST_FONTS=desktop makes Noto Sans the default sans, as most desktops have it, instead of
// DejaVu Sans.

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "PinnedDesktopPaths.h"

extern char** environ;

namespace {

bool startsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// Variables of the desktop session that choose a theme, a style, a scale or fonts.
bool chosenByTheDesktop(const char* entry) {
    // The platform itself (offscreen in the unit tests, xcb for the programs under Xvfb) is the
    // test command's choice; so is the logging.
    if (startsWith(entry, "QT_QPA_PLATFORM=") || startsWith(entry, "QT_LOGGING_RULES=")) return false;
    for (const char* prefix : {"QT_", "GTK_", "GTK2_", "GDK_", "KDE_", "XCURSOR_", "FONTCONFIG_"}) {
        if (startsWith(entry, prefix)) return true;
    }
    for (const char* name : {"XDG_CURRENT_DESKTOP=", "XDG_SESSION_DESKTOP=", "DESKTOP_SESSION=",
                             "GNOME_DESKTOP_SESSION_ID=", "XMODIFIERS=", "GSETTINGS_BACKEND=",
                             "DBUS_SESSION_BUS_ADDRESS="}) {
        if (startsWith(entry, name)) return true;
    }
    return false;
}

const bool pinned = [] {
    std::vector<std::string> names;
    for (char** entry = environ; *entry; ++entry) {
        if (chosenByTheDesktop(*entry)) names.emplace_back(*entry, std::strchr(*entry, '=') - *entry);
    }
    const char* fonts = std::getenv("TESSARY_TEST_FONTS");
    const bool desktopFonts = fonts && std::strcmp(fonts, "desktop") == 0;
    for (const auto& name : names) ::unsetenv(name.c_str());
    ::setenv("FONTCONFIG_FILE", desktopFonts ? TESSARY_DESKTOP_FONTS_CONF : TESSARY_BARE_FONTS_CONF, 1);
    // No session bus, whether or not the machine would start one: the tests that want one start
    // their own and name it to the programs they start.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" TESSARY_NO_SESSION_BUS, 1);
    ::setenv("TESSARY_TEST_BUS_CONFIG", TESSARY_BUS_CONFIG, 1);
    // GTK programs the tests start (the test client's neighbours, gtk3-demo) read no dconf.
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    return true;
}();

}  // namespace
