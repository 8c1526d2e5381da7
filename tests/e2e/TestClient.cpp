// A small X client for the end-to-end tests: opens windows with the class, type, process identifier
// and struts a test asks for, and closes them on request.
//
// Started with options (as a .desktop file starts an application), it opens one window with them at
// once and lives until that window is closed. Otherwise it takes commands, one per line on stdin:
//   open [key=value ...]   prints "opened <window id>" once the window is mapped
//   close <window id>      destroys the window, prints "closed <window id>"
//   closeOnConfigure <window id> <n>
//                          destroys the window when the nth ConfigureNotify from now arrives (to
//                          close a window in the middle of a move), prints "armed <window id>"
//   quit                   exits
// Keys of open: class, title, type (normal, dialog, dock, utility, desktop, none), x, y, w, h,
// pid=none (no _NET_WM_PID), strut=12 comma-separated cardinals (_NET_WM_STRUT_PARTIAL),
// transient=<window id>, min=WxH (the smallest size it takes), margin=4 comma-separated cardinals
// (_GTK_FRAME_EXTENTS: left, right, top, bottom), instance (WM_CLASS's first part), appid
// (_GTK_APPLICATION_ID), desktopfile (_KDE_NET_WM_DESKTOP_FILE).
// A window also closes when the window manager sends WM_DELETE_WINDOW.

#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

xcb_connection_t* connection;
xcb_screen_t* screen;

xcb_atom_t atom(const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

struct Window {
    int configuresLeft = 0;  // 0: never close on configure
};
std::map<xcb_window_t, Window> windows;

std::vector<uint32_t> parseList(const std::string& text, char separator = ',') {
    std::vector<uint32_t> values;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, separator)) {
        values.push_back(static_cast<uint32_t>(std::strtoul(item.c_str(), nullptr, 10)));
    }
    return values;
}

void setCardinals(xcb_window_t window, const char* name, xcb_atom_t type, const std::vector<uint32_t>& values) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(name), type, 32,
                        static_cast<uint32_t>(values.size()), values.data());
}

void setText(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, const std::string& text) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                        static_cast<uint32_t>(text.size()), text.data());
}

void open(std::istream& arguments) {
    std::map<std::string, std::string> options;
    std::string word;
    while (arguments >> word) {
        auto at = word.find('=');
        if (at != std::string::npos) options[word.substr(0, at)] = word.substr(at + 1);
    }
    auto option = [&](const char* key, const char* fallback) {
        auto it = options.find(key);
        return it == options.end() ? std::string(fallback) : it->second;
    };
    int16_t x = static_cast<int16_t>(std::atoi(option("x", "0").c_str()));
    int16_t y = static_cast<int16_t>(std::atoi(option("y", "0").c_str()));
    uint16_t w = static_cast<uint16_t>(std::atoi(option("w", "400").c_str()));
    uint16_t h = static_cast<uint16_t>(std::atoi(option("h", "300").c_str()));

    xcb_window_t window = xcb_generate_id(connection);
    uint32_t values[] = {screen->white_pixel,
                         XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, x, y, w, h, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

    std::string wmClass =
        option("instance", "tessary-test-client") + std::string(1, '\0') + option("class", "TessaryTestClient") + '\0';
    setText(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, wmClass);
    // What GTK and KDE programs announce of their application.
    if (std::string id = option("appid", ""); !id.empty()) setText(window, atom("_GTK_APPLICATION_ID"), atom("UTF8_STRING"), id);
    if (std::string file = option("desktopfile", ""); !file.empty()) {
        setText(window, atom("_KDE_NET_WM_DESKTOP_FILE"), atom("UTF8_STRING"), file);
    }
    std::string title = option("title", "Test window");
    setText(window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, title);
    setText(window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), title);

    xcb_atom_t protocols[] = {atom("WM_DELETE_WINDOW")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("WM_PROTOCOLS"),
                        XCB_ATOM_ATOM, 32, 1, protocols);

    if (option("pid", "") != "none") {
        setCardinals(window, "_NET_WM_PID", XCB_ATOM_CARDINAL, {static_cast<uint32_t>(getpid())});
    }

    std::string type = option("type", "normal");
    if (type != "none") {
        std::string typeName = "_NET_WM_WINDOW_TYPE_" + std::string(type == "dialog"    ? "DIALOG"
                                                                    : type == "dock"    ? "DOCK"
                                                                    : type == "utility" ? "UTILITY"
                                                                    : type == "desktop" ? "DESKTOP"
                                                                                        : "NORMAL");
        setCardinals(window, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {atom(typeName.c_str())});
    }

    // WM_NORMAL_HINTS: a user-given position and size, so the window manager keeps them.
    uint32_t hints[18] = {};
    hints[0] = (1u << 0) | (1u << 1);  // USPosition, USSize
    hints[1] = static_cast<uint32_t>(x), hints[2] = static_cast<uint32_t>(y), hints[3] = w, hints[4] = h;
    if (auto minimum = parseList(option("min", ""), 'x'); minimum.size() == 2) {
        hints[0] |= 1u << 4;  // PMinSize
        hints[5] = minimum[0], hints[6] = minimum[1];
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);

    if (auto strut = parseList(option("strut", "")); strut.size() == 12) {
        setCardinals(window, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, strut);
        setCardinals(window, "_NET_WM_STRUT", XCB_ATOM_CARDINAL, {strut[0], strut[1], strut[2], strut[3]});
    }
    // A client-side decorated window: it draws its own frame and an invisible margin (a shadow)
    // around it, inside its X window, and asks the window manager for no frame.
    if (auto margin = parseList(option("margin", "")); margin.size() == 4) {
        setCardinals(window, "_GTK_FRAME_EXTENTS", XCB_ATOM_CARDINAL, margin);
        setCardinals(window, "_MOTIF_WM_HINTS", atom("_MOTIF_WM_HINTS"), {2, 0, 0, 0, 0});
    }
    if (std::string owner = option("transient", ""); !owner.empty()) {
        setCardinals(window, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW,
                     {static_cast<uint32_t>(std::strtoul(owner.c_str(), nullptr, 10))});
    }

    windows[window] = Window{};
    xcb_map_window(connection, window);
    xcb_flush(connection);
    // Answer only once the server has taken every request, so the caller can look the window up.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    std::printf("opened %u\n", window);
    std::fflush(stdout);
}

void close(xcb_window_t window) {
    if (windows.erase(window)) {
        xcb_destroy_window(connection, window);
        xcb_flush(connection);
    }
}

bool handleCommand(const std::string& line) {
    std::istringstream stream(line);
    std::string command;
    stream >> command;
    if (command == "open") {
        open(stream);
    } else if (command == "close") {
        unsigned long id = 0;
        stream >> id;
        close(static_cast<xcb_window_t>(id));
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        std::printf("closed %lu\n", id);
        std::fflush(stdout);
    } else if (command == "closeOnConfigure") {
        unsigned long id = 0;
        int count = 0;
        stream >> id >> count;
        if (auto it = windows.find(static_cast<xcb_window_t>(id)); it != windows.end()) {
            it->second.configuresLeft = count;
        }
        std::printf("armed %lu\n", id);
        std::fflush(stdout);
    } else if (command == "quit") {
        return false;
    }
    return true;
}

void handleEvent(xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
    case XCB_CONFIGURE_NOTIFY: {
        auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
        auto it = windows.find(configure->window);
        if (it != windows.end() && it->second.configuresLeft > 0 &&
            --it->second.configuresLeft == 0) {
            close(configure->window);
        }
        break;
    }
    case XCB_CLIENT_MESSAGE: {
        auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
        if (message->type == atom("WM_PROTOCOLS") && message->data.data32[0] == atom("WM_DELETE_WINDOW")) {
            close(message->window);
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace

int main(int argc, char** argv) {
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "test client: cannot connect to the X server\n");
        return 1;
    }
    screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const bool launched = argc > 1;
    if (launched) {
        std::stringstream options;
        for (int i = 1; i < argc; ++i) options << argv[i] << ' ';
        open(options);
    }
    std::string pending;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            handleEvent(event);
            std::free(event);
        }
        if (xcb_connection_has_error(connection) || (launched && windows.empty())) return 0;
        xcb_flush(connection);
        pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, launched ? 1 : 2, -1) < 0 || !(fds[1].revents & (POLLIN | POLLHUP))) continue;
        char buffer[4096];
        ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) return 0;
        pending.append(buffer, static_cast<size_t>(n));
        for (auto at = pending.find('\n'); at != std::string::npos; at = pending.find('\n')) {
            std::string line = pending.substr(0, at);
            pending.erase(0, at + 1);
            if (!handleCommand(line)) {
                xcb_disconnect(connection);
                return 0;
            }
        }
    }
}
