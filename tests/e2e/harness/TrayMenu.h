#pragma once

// The program's tray icon in trayer and its menu, as the X server shows them, for the end-to-end
// tests and the benchmarks of the real program.

#include <sys/types.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Platform/X11/X11Platform.h"
#include "TessaryCore/Geometry.h"
#include "TessaryCore/JSONDocumentStore.h"
#include "TessaryCore/LayoutLibrary.h"
#include "tests/e2e/harness/VirtualDesktop.h"

namespace tessary::e2e {

// A library of `count` layouts ("Layout 1"...) of every template, written as "layouts.json" under
// DATA_HOME/Tessary. The left monitor uses the layout at 7/9 of the list, the right one the last:
// their indices.
inline std::pair<int, int> writeLayoutLibrary(const std::filesystem::path& dataHome, int count) {
    LayoutLibrary library;
    for (int i = 0; i < count; ++i) {
        library.layouts.emplace_back(LayoutTemplate::allCases[std::size_t(i) % 5], 2 + i % 5,
                                     "Layout " + std::to_string(i + 1));
    }
    const int left = count * 7 / 9, right = count - 1;
    library.defaultLayoutID = library.layouts.front().id;
    library.assign(library.layouts[std::size_t(left)].id, DisplayKey("tessary-left", 1920, 1080));
    library.assign(library.layouts[std::size_t(right)].id, DisplayKey("tessary-right", 1920, 1080));
    const auto folder = dataHome / "Tessary";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "layouts.json") << JSONDocumentStore<LayoutLibrary>::encode(library).value();
    return {left, right};
}

// A window's rectangle in root coordinates.
inline std::optional<Rect> placeOnScreen(X11Platform& platform, xcb_window_t window) {
    xcb_connection_t* c = platform.connection().xcb();
    auto* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    auto* at = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, platform.connection().root(), 0, 0), nullptr);
    std::optional<Rect> place;
    if (geometry && at) place = Rect(at->dst_x, at->dst_y, geometry->width, geometry->height);
    std::free(geometry);
    std::free(at);
    return place;
}

// Whether a window is mapped with every window it lies in; false once it is gone.
inline bool isViewable(X11Platform& platform, xcb_window_t window) {
    X11Connection& c = platform.connection();
    auto reply = c.reply(xcb_get_window_attributes_reply, xcb_get_window_attributes(c.xcb(), window),
                         "GetWindowAttributes", X11ErrorTolerance::windowMayVanish);
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

// The window of `pid` that the tray holds (a few levels down in the tray's), with the windows it
// lies in below the root, outermost first; none while it is not embedded.
struct TrayIconWindow {
    xcb_window_t window = XCB_WINDOW_NONE;
    std::vector<xcb_window_t> holders;
};
inline std::optional<TrayIconWindow> trayIconWindow(X11Platform& platform, pid_t trayPid, pid_t pid) {
    xcb_connection_t* c = platform.connection().xcb();
    std::optional<TrayIconWindow> found;
    std::vector<xcb_window_t> path;
    std::function<void(xcb_window_t, bool, int)> search = [&](xcb_window_t parent, bool inside, int depth) {
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr);
        if (!tree) return;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
            const auto owner = platform.windows().processID(children[i]);
            if (inside && owner == pid) {
                found = TrayIconWindow{children[i], path};
            } else if (depth < 5) {
                path.push_back(children[i]);
                search(children[i], inside || owner == trayPid, depth + 1);
                path.pop_back();
            }
        }
        std::free(tree);
    };
    search(platform.connection().root(), false, 0);
    return found;
}

// The tray icon's place on the screen once the tray shows it whole, as a user sees it: it is
// viewable and every window it lies in holds all of it. A tray places an icon only after it has
// embedded it: trayer first maps the window it embeds the icon in at 1x1 in its corner, where
// the icon's own window already has its size, and a click aimed at that place hits the tray.
inline std::optional<Rect> trayIcon(X11Platform& platform, pid_t trayPid, pid_t pid) {
    const auto icon = trayIconWindow(platform, trayPid, pid);
    if (!icon || !isViewable(platform, icon->window)) return std::nullopt;
    const auto place = placeOnScreen(platform, icon->window);
    if (!place) return std::nullopt;
    for (const xcb_window_t holder : icon->holders) {
        const auto room = placeOnScreen(platform, holder);
        if (!room || !rectsEqual(place->intersection(*room), *place)) return std::nullopt;
    }
    return place;
}

// An open menu of `pid`: a mapped override-redirect window wide enough for its rows (a tool tip is
// narrower), and narrower than `narrowerThan` (a monitor's width leaves out the zones' overlay that
// a chosen layout shows).
inline std::optional<Rect> openMenu(X11Platform& platform, pid_t pid, double narrowerThan = 1e9) {
    xcb_connection_t* c = platform.connection().xcb();
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, platform.connection().root()), nullptr);
    if (!tree) return std::nullopt;
    std::optional<Rect> menu;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !menu; ++i) {
        auto* attributes = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
        if (attributes && attributes->override_redirect && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
            platform.windows().processID(children[i]) == pid) {
            const auto place = placeOnScreen(platform, children[i]);
            if (place && place->width() >= 200 && place->width() < narrowerThan) menu = place;
        }
        std::free(attributes);
    }
    std::free(tree);
    return menu;
}

// A click of `button` on the middle of the icon.
inline void clickTrayIcon(VirtualDesktop& desktop, const Rect& icon, int button = 1) {
    desktop.movePointerTo(int(icon.midX()), int(icon.midY()));
    desktop.pressButton(button, true);
    desktop.pressButton(button, false);
}

}  // namespace tessary::e2e
