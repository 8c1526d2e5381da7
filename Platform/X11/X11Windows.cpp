#include "Platform/X11/X11Windows.h"

#include "Platform/X11/X11ClientOrder.h"
#include "Platform/X11/X11Property.h"

#include <xcb/res.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tessary {

namespace {

constexpr auto vanish = X11ErrorTolerance::windowMayVanish;


// WM_NORMAL_HINTS flags.
constexpr uint32_t kPMinSize = 1u << 4;
constexpr uint32_t kPMaxSize = 1u << 5;
constexpr uint32_t kPResizeInc = 1u << 6;
constexpr uint32_t kPBaseSize = 1u << 8;


X11Extents readExtents(const X11Property& property) {
    X11Extents extents;
    auto words = property.cardinals();
    if (words.size() >= 4) {
        // Values are CARDINALs; a client that writes nonsense must not flip the frame inside out.
        auto clampExtent = [](uint32_t v) { return static_cast<int32_t>(std::min<uint32_t>(v, 4096)); };
        extents.left = clampExtent(words[0]);
        extents.right = clampExtent(words[1]);
        extents.top = clampExtent(words[2]);
        extents.bottom = clampExtent(words[3]);
    }
    return extents;
}

}  // namespace

// --- Value types ---------------------------------------------------------------------------------

int32_t x11Pixels(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    return static_cast<int32_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

Rect X11WindowGeometry::outer() const {
    return Rect(client.x() - frame.left + clientSide.left, client.y() - frame.top + clientSide.top,
                client.width() + frame.left + frame.right - clientSide.left - clientSide.right,
                client.height() + frame.top + frame.bottom - clientSide.top - clientSide.bottom);
}

Rect X11WindowGeometry::whole() const {
    return Rect(client.x() - frame.left, client.y() - frame.top, client.width() + frame.left + frame.right,
                client.height() + frame.top + frame.bottom);
}

bool x11HeldAtScreenEdge(const Rect& asked, const Rect& held, const Rect& area) {
    return (asked.minX() < area.minX() && held.minX() >= area.minX()) ||
           (asked.minY() < area.minY() && held.minY() >= area.minY()) ||
           (asked.maxX() > area.maxX() && held.maxX() <= area.maxX()) ||
           (asked.maxY() > area.maxY() && held.maxY() <= area.maxY());
}

Rect x11ConfiningArea(const Rect& asked, const std::vector<Rect>& areas, Size rootSize) {
    Rect best(0, 0, rootSize.width, rootSize.height);
    double most = 0;
    for (const Rect& area : areas) {
        const Rect common = area.intersection(asked);
        const double size = common.isNull() ? 0 : common.width() * common.height();
        if (size > most) most = size, best = area;
    }
    return best;
}

bool X11WindowGeometry::titleBarContains(Point point) const {
    const int32_t edge = std::max({frame.left, frame.right, titleBarEdge});
    if (frame.top <= edge) return false;
    const Rect around = outer();
    return point.y >= around.minY() + edge && point.y < client.minY() && point.x >= around.minX() + edge &&
           point.x < around.maxX() - edge;
}

Size X11WindowGeometry::clientSizeFor(Size outerSize) const {
    return Size{outerSize.width - frame.left - frame.right + clientSide.left + clientSide.right -
                    2.0 * borderWidth,
                outerSize.height - frame.top - frame.bottom + clientSide.top + clientSide.bottom -
                    2.0 * borderWidth};
}

Size X11WindowGeometry::outerSizeFor(Size clientSize) const {
    const Size none = clientSizeFor(Size{0, 0});
    return Size{clientSize.width - none.width, clientSize.height - none.height};
}

bool X11SizeHints::hasIncrements() const {
    return increment && (increment->width > 1 || increment->height > 1);
}

Size X11SizeHints::constrain(Size requested) const {
    // ICCCM 4.1.2.3: base stands in for minimum and minimum for base; sizes are base plus whole
    // increments, within minimum and maximum.
    Size low = minimum ? *minimum : (base ? *base : Size{1, 1});
    Size origin = base ? *base : (minimum ? *minimum : Size{0, 0});
    auto axis = [](double want, double lowest, double highest, double from, double step) {
        double value = std::max(want, lowest);
        if (highest > 0) {
            value = std::min(value, highest);
        }
        if (step > 1) {
            value = from + std::floor((value - from) / step) * step;
            if (value < lowest) {
                value += step;
            }
        }
        return std::max(value, 1.0);
    };
    double maxW = maximum ? maximum->width : 0;
    double maxH = maximum ? maximum->height : 0;
    double incW = increment ? increment->width : 1;
    double incH = increment ? increment->height : 1;
    return Size{axis(requested.width, low.width, maxW, origin.width, incW),
                axis(requested.height, low.height, maxH, origin.height, incH)};
}

std::optional<X11SizeHints> X11SizeHints::parse(const uint32_t* words, size_t count) {
    if (count < 15) {
        return std::nullopt;
    }
    X11SizeHints hints;
    uint32_t flags = words[0];
    auto size = [&](size_t at) {
        // Sizes are signed 32-bit in the property; anything outside a screen's range is noise.
        auto w = static_cast<int32_t>(words[at]);
        auto h = static_cast<int32_t>(words[at + 1]);
        return Size{double(std::clamp(w, 0, 65535)), double(std::clamp(h, 0, 65535))};
    };
    if (flags & kPMinSize) {
        hints.minimum = size(5);
    }
    if (flags & kPMaxSize) {
        hints.maximum = size(7);
    }
    if (flags & kPResizeInc) {
        hints.increment = size(9);
    }
    if ((flags & kPBaseSize) && count >= 17) {
        hints.base = size(15);
    }
    return hints;
}

// --- Reads ---------------------------------------------------------------------------------------

X11Windows::X11Windows(X11Connection& connection) : connection_(connection) {
    connection_.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
    handlerId_ = connection_.addEventHandler([this](const xcb_generic_event_t& event) {
        switch (event.response_type & 0x7f) {
        case XCB_DESTROY_NOTIFY: {
            xcb_window_t gone = reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window;
            followed_.erase(gone);
            hints_.erase(gone);
            dropConfirmed(gone);
            std::erase_if(topLevels_, [gone](const auto& entry) { return entry.first == gone || entry.second == gone; });
            if (windowManagerCheck_ && *windowManagerCheck_ == gone) windowManagerCheck_.reset();
            break;
        }
        case XCB_REPARENT_NOTIFY:
            topLevels_.erase(reinterpret_cast<const xcb_reparent_notify_event_t&>(event).window);
            break;
        case XCB_CONFIGURE_NOTIFY: {
            // A watched frame that moved elsewhere than our request put it: the first step of a
            // drag, say. Watched no longer, so that the drag's other steps send nothing.
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            auto moved = std::find_if(confirmed_.begin(), confirmed_.end(), [&](const auto& entry) {
                return entry.second.frame == configure.window &&
                       entry.second.frameAt != Point{double(configure.x), double(configure.y)};
            });
            if (moved != confirmed_.end()) dropConfirmed(moved->first);
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            if (change.atom == XCB_ATOM_WM_NORMAL_HINTS) hints_.erase(change.window);
            if (change.window != connection_.root()) break;
            if (change.atom == connection_.atoms()._NET_SUPPORTED) {
                barrierSupported_.reset();  // another window manager, perhaps
            } else if (change.atom == connection_.atoms()._NET_SUPPORTING_WM_CHECK) {
                windowManagerCheck_.reset();
            }
            break;
        }
        default:
            break;
        }
    });
}

X11Windows::~X11Windows() {
    connection_.removeEventHandler(handlerId_);
    if (probe_ != XCB_WINDOW_NONE) {
        connection_.checkLater(xcb_destroy_window_checked(connection_.xcb(), probe_), "DestroyWindow",
                               X11ErrorTolerance::none);
        connection_.flush();
    }
}

bool X11Windows::hasWindowManagerBarrier() {
    if (!barrierSupported_) {
        auto atoms = supported();
        barrierSupported_ = std::find(atoms.begin(), atoms.end(),
                                      connection_.atoms()._NET_REQUEST_FRAME_EXTENTS) != atoms.end();
    }
    if (*barrierSupported_ && probe_ == XCB_WINDOW_NONE) {
        probe_ = xcb_generate_id(connection_.xcb());
        uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        connection_.checkLater(
            xcb_create_window_checked(connection_.xcb(), XCB_COPY_FROM_PARENT, probe_, connection_.root(),
                                      -100, -100, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask),
            "CreateWindow", X11ErrorTolerance::none);
    }
    return *barrierSupported_;
}

xcb_window_t X11Windows::windowManagerCheckWindow() {
    if (windowManagerCheck_ && *windowManagerCheck_ != XCB_WINDOW_NONE) {
        // Its end may have been read already but not yet handed to the handlers (no main-loop turn
        // since the window manager was killed): a request sent now would wait for an answer that
        // never comes, since the wait looks only at what arrives after it.
        const xcb_window_t check = *windowManagerCheck_;
        const bool ended = connection_.waitForEvent(
            0,
            [check](const xcb_generic_event_t& event) {
                return (event.response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
                       reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == check;
            },
            X11Connection::Clock::now());
        if (ended) windowManagerCheck_ = XCB_WINDOW_NONE;
    }
    if (!windowManagerCheck_) {
        // A window manager that died leaves its properties behind: its check window must still
        // exist and point to itself.
        const X11Atoms& a = connection_.atoms();
        xcb_window_t found = XCB_WINDOW_NONE;
        auto check = X11Property::read(connection_, connection_.root(), a._NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW,
                                       X11ErrorTolerance::none, 1);
        if (check && !check->cardinals().empty()) {
            xcb_window_t candidate = check->cardinals().front();
            // Its end is announced from now on, so that the answer stays true without asking again.
            uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            connection_.checkLater(xcb_change_window_attributes_checked(connection_.xcb(), candidate,
                                                                        XCB_CW_EVENT_MASK, &mask),
                                   "ChangeWindowAttributes", vanish);
            auto self = X11Property::read(connection_, candidate, a._NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW,
                                          vanish, 1);
            if (self && !self->cardinals().empty() && self->cardinals().front() == candidate) found = candidate;
        }
        windowManagerCheck_ = found;
    }
    return *windowManagerCheck_;
}

std::vector<xcb_window_t> X11Windows::windowListProperty(xcb_atom_t property) {
    auto value = X11Property::read(connection_, connection_.root(), property, XCB_ATOM_WINDOW,
                                   X11ErrorTolerance::none);
    if (!value) {
        return {};
    }
    return value->cardinals();
}

std::vector<xcb_window_t> X11Windows::clientList() {
    return windowListProperty(connection_.atoms()._NET_CLIENT_LIST);
}

std::vector<xcb_window_t> X11Windows::clientListStacking() {
    return windowListProperty(connection_.atoms()._NET_CLIENT_LIST_STACKING);
}

std::optional<xcb_window_t> X11Windows::activeWindow() {
    auto list = windowListProperty(connection_.atoms()._NET_ACTIVE_WINDOW);
    if (list.empty() || list.front() == XCB_WINDOW_NONE) {
        return std::nullopt;
    }
    return list.front();
}

std::optional<xcb_window_t> X11Windows::focusedClient() {
    auto focusCookie = xcb_get_input_focus(connection_.xcb());
    const auto active = activeWindow();
    auto focus = connection_.reply(xcb_get_input_focus_reply, focusCookie, "GetInputFocus");
    if (!active) return std::nullopt;
    // PointerRoot: the keyboard follows the pointer, no window holds it.
    const xcb_window_t focused =
        focus && focus->focus != XCB_INPUT_FOCUS_POINTER_ROOT ? focus->focus : xcb_window_t{XCB_WINDOW_NONE};
    auto isPanel = [this](xcb_window_t window) {
        const auto type = windowType(window);
        return !type || *type == X11WindowType::dock || *type == X11WindowType::desktop;
    };
    if (!isPanel(*active)) return active;

    // The keyboard focus may sit on a child of the client (its focus proxy).
    const std::vector<xcb_window_t> clients = clientList();
    xcb_window_t at = focused;
    for (int depth = 0; depth < 16 && at != XCB_WINDOW_NONE && at != connection_.root(); ++depth) {
        if (std::find(clients.begin(), clients.end(), at) != clients.end()) {
            return isPanel(at) ? std::nullopt : std::optional<xcb_window_t>(at);
        }
        auto tree = connection_.reply(xcb_query_tree_reply, xcb_query_tree(connection_.xcb(), at), "QueryTree",
                                      vanish);
        at = tree ? tree->parent : xcb_window_t{XCB_WINDOW_NONE};
    }
    return std::nullopt;
}

std::vector<xcb_atom_t> X11Windows::supported() {
    auto value = X11Property::read(connection_, connection_.root(), connection_.atoms()._NET_SUPPORTED,
                                   XCB_ATOM_ATOM, X11ErrorTolerance::none);
    return value ? value->cardinals() : std::vector<xcb_atom_t>{};
}

X11WindowType X11Windows::typeFrom(const X11Property& property) const {
    const X11Atoms& a = connection_.atoms();
    auto types = property.cardinals();
    // The first type the back end knows wins: EWMH lists them in order of preference.
    for (xcb_atom_t type : types) {
        if (type == a._NET_WM_WINDOW_TYPE_NORMAL) return X11WindowType::normal;
        if (type == a._NET_WM_WINDOW_TYPE_DIALOG) return X11WindowType::dialog;
        if (type == a._NET_WM_WINDOW_TYPE_DOCK) return X11WindowType::dock;
        if (type == a._NET_WM_WINDOW_TYPE_DESKTOP) return X11WindowType::desktop;
        if (type == a._NET_WM_WINDOW_TYPE_UTILITY) return X11WindowType::utility;
        if (type == a._NET_WM_WINDOW_TYPE_TOOLBAR) return X11WindowType::toolbar;
        if (type == a._NET_WM_WINDOW_TYPE_MENU) return X11WindowType::menu;
        if (type == a._NET_WM_WINDOW_TYPE_SPLASH) return X11WindowType::splash;
    }
    return types.empty() ? X11WindowType::unset : X11WindowType::other;
}

std::optional<X11WindowType> X11Windows::windowType(xcb_window_t window) {
    auto value = X11Property::read(connection_, window, connection_.atoms()._NET_WM_WINDOW_TYPE,
                                   XCB_ATOM_ATOM, vanish);
    if (!value) {
        return std::nullopt;
    }
    return typeFrom(*value);
}

std::optional<X11WindowKind> X11Windows::kind(xcb_window_t window) {
    auto typeCookie = X11Property::request(connection_, window, connection_.atoms()._NET_WM_WINDOW_TYPE,
                                           XCB_ATOM_ATOM, 32);
    auto transientCookie = X11Property::request(connection_, window, XCB_ATOM_WM_TRANSIENT_FOR,
                                                XCB_ATOM_WINDOW, 1);
    auto type = X11Property::fetch(connection_, typeCookie, vanish);
    auto transient = X11Property::fetch(connection_, transientCookie, vanish);
    if (!type || !transient) {
        return std::nullopt;
    }
    X11WindowKind kind;
    kind.type = typeFrom(*type);
    // Transient for the root is the old way of saying "for the whole group": still a dialog.
    for (xcb_window_t owner : transient->cardinals()) {
        kind.isTransient = kind.isTransient || owner != XCB_WINDOW_NONE;
    }
    return kind;
}

std::optional<bool> X11Windows::isStandard(xcb_window_t window) {
    auto found = kind(window);
    if (!found) {
        return std::nullopt;
    }
    return found->isStandard();
}

bool X11Windows::exists(xcb_window_t window) {
    return connection_.reply(xcb_get_window_attributes_reply, xcb_get_window_attributes(connection_.xcb(), window),
                             "GetWindowAttributes", vanish) != nullptr;
}

std::optional<std::string> X11Windows::title(xcb_window_t window) {
    auto netCookie = X11Property::request(connection_, window, connection_.atoms()._NET_WM_NAME,
                                          connection_.atoms().UTF8_STRING);
    auto plainCookie = X11Property::request(connection_, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY);
    auto net = X11Property::fetch(connection_, netCookie, vanish);
    auto plain = X11Property::fetch(connection_, plainCookie, vanish);
    if (net && net->exists()) {
        return x11TextToUTF8(net->bytes(), net->byteLength(), true);
    }
    if (plain && plain->exists() && plain->format() == 8) {
        return x11TextToUTF8(plain->bytes(), plain->byteLength(),
                             plain->type() == connection_.atoms().UTF8_STRING);
    }
    return std::nullopt;
}

std::optional<bool> X11Windows::isHidden(xcb_window_t window) {
    auto value = X11Property::read(connection_, window, connection_.atoms()._NET_WM_STATE,
                                   XCB_ATOM_ATOM, vanish);
    if (!value) {
        return std::nullopt;
    }
    auto states = value->cardinals();
    return std::find(states.begin(), states.end(), connection_.atoms()._NET_WM_STATE_HIDDEN) !=
           states.end();
}

std::optional<Rect> X11Windows::outerFrame(xcb_window_t window) {
    if (settling_.erase(window)) awaitSettledAfterMove(window);
    if (auto confirmed = confirmed_.find(window); confirmed != confirmed_.end()) {
        // The window manager's answer to our last request is still the newest news of the window.
        if (confirmed->second.mark == connection_.eventMark()) return confirmed->second.outer;
        dropConfirmed(window);
    }
    auto g = geometry(window);
    if (!g) {
        return std::nullopt;
    }
    return g->outer();
}

std::optional<X11WindowGeometry> X11Windows::geometry(xcb_window_t window) {
    auto snap = snapshot(window, false);
    if (!snap) {
        return std::nullopt;
    }
    return snap->geometry;
}

std::optional<bool> X11Windows::shadowKeptOnScreen(xcb_window_t window, const std::vector<Rect>& areas) {
    // The root's size now: the screen may have grown or shrunk since the connection was opened.
    auto rootCookie = xcb_get_geometry(connection_.xcb(), connection_.root());
    auto g = geometry(window);
    auto root = connection_.reply(xcb_get_geometry_reply, rootCookie, "GetGeometry");
    if (!g) return std::nullopt;
    const auto asked = askedWholes_.find(window);
    if (asked == askedWholes_.end() || !root) return false;
    return x11HeldAtScreenEdge(asked->second, g->whole(),
                               x11ConfiningArea(asked->second, areas, Size{double(root->width), double(root->height)}));
}

std::optional<X11Windows::Snapshot> X11Windows::snapshot(xcb_window_t window, bool withHints,
                                                         xcb_window_t topLevel) {
    xcb_connection_t* c = connection_.xcb();
    const X11Atoms& a = connection_.atoms();
    // All requests first, then the replies: one round trip.
    auto geometryCookie = xcb_get_geometry(c, window);
    std::optional<xcb_get_geometry_cookie_t> topLevelCookie;
    if (topLevel != XCB_WINDOW_NONE) topLevelCookie = xcb_get_geometry(c, topLevel);
    auto translateCookie = xcb_translate_coordinates(c, window, connection_.root(), 0, 0);
    auto frameCookie = X11Property::request(connection_, window, a._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL);
    auto gtkCookie = X11Property::request(connection_, window, a._GTK_FRAME_EXTENTS, XCB_ATOM_CARDINAL);
    auto stateCookie = X11Property::request(connection_, window, a._NET_WM_STATE, XCB_ATOM_ATOM);
    std::optional<xcb_get_property_cookie_t> hintsCookie;
    if (withHints) {
        hintsCookie = X11Property::request(connection_, window, XCB_ATOM_WM_NORMAL_HINTS,
                                           XCB_ATOM_WM_SIZE_HINTS);
    }
    auto geometryReply = connection_.reply(xcb_get_geometry_reply, geometryCookie, "GetGeometry", vanish);
    XcbPtr<xcb_get_geometry_reply_t> topLevelReply;
    if (topLevelCookie) {
        topLevelReply = connection_.reply(xcb_get_geometry_reply, *topLevelCookie, "GetGeometry", vanish);
    }
    auto translateReply =
        connection_.reply(xcb_translate_coordinates_reply, translateCookie, "TranslateCoordinates", vanish);
    auto frame = X11Property::fetch(connection_, frameCookie, vanish);
    auto gtk = X11Property::fetch(connection_, gtkCookie, vanish);
    auto state = X11Property::fetch(connection_, stateCookie, vanish);
    std::optional<X11Property> hints;
    if (hintsCookie) {
        hints = X11Property::fetch(connection_, *hintsCookie, vanish);
    }
    if (!geometryReply || !translateReply || !frame || !gtk || !state) {
        return std::nullopt;
    }
    Snapshot snap;
    int border = geometryReply->border_width;
    snap.geometry.borderWidth = geometryReply->border_width;
    snap.geometry.client = Rect(translateReply->dst_x - border, translateReply->dst_y - border,
                                geometryReply->width + 2 * border, geometryReply->height + 2 * border);
    snap.geometry.frame = readExtents(*frame);
    snap.geometry.clientSide = readExtents(*gtk);
    snap.clientSideDecorated = gtk->exists();
    for (xcb_atom_t s : state->cardinals()) {
        snap.maximizedOrFullScreen = snap.maximizedOrFullScreen || s == a._NET_WM_STATE_MAXIMIZED_VERT ||
                                     s == a._NET_WM_STATE_MAXIMIZED_HORZ ||
                                     s == a._NET_WM_STATE_FULLSCREEN;
    }
    if (hints && hints->exists()) {
        auto words = hints->cardinals();
        snap.hints = X11SizeHints::parse(words.data(), words.size());
    }
    if (hints) keepHints(window, snap.hints.value_or(X11SizeHints{}));
    if (topLevelReply) snap.topLevel = Point{double(topLevelReply->x), double(topLevelReply->y)};
    return snap;
}

std::optional<int32_t> X11Windows::processID(xcb_window_t window) {
    auto value = X11Property::read(connection_, window, connection_.atoms()._NET_WM_PID,
                                   XCB_ATOM_CARDINAL, vanish);
    if (!value) {
        return std::nullopt;
    }
    auto words = value->cardinals();
    if (!words.empty() && words.front() > 0 && words.front() <= 0x7fffffff) {
        return static_cast<int32_t>(words.front());
    }
    if (!connection_.hasResourceExtension()) {
        return std::nullopt;
    }
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto reply = connection_.reply(xcb_res_query_client_ids_reply,
                                   xcb_res_query_client_ids(connection_.xcb(), 1, &wanted),
                                   "X-Resource QueryClientIds", vanish);
    if (!reply) {
        return std::nullopt;
    }
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(it.data) >= 1) {
            uint32_t pid = *xcb_res_client_id_value_value(it.data);
            if (pid > 0 && pid <= 0x7fffffff) {
                return static_cast<int32_t>(pid);
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> X11Windows::windowClass(xcb_window_t window) {
    auto value = X11Property::read(connection_, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, vanish, 256);
    if (!value) {
        return std::nullopt;
    }
    return classFrom(*value);
}

std::optional<std::string> X11Windows::classFrom(const X11Property& wmClass) {
    if (!wmClass.exists() || wmClass.format() != 8) {
        return std::nullopt;
    }
    // "instance\0class\0"
    const auto* bytes = wmClass.bytes();
    size_t length = wmClass.byteLength();
    const void* nul = std::memchr(bytes, 0, length);
    if (!nul) {
        return std::nullopt;
    }
    size_t start = static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) + 1;
    if (start >= length) {
        return std::nullopt;
    }
    std::string name = x11TextToUTF8(bytes + start, length - start, false);
    if (name.empty()) {
        return std::nullopt;
    }
    return name;
}

std::optional<std::string> X11Windows::instanceFrom(const X11Property& wmClass) {
    if (!wmClass.exists() || wmClass.format() != 8) return std::nullopt;
    // The text up to the first NUL.
    std::string name = x11TextToUTF8(wmClass.bytes(), wmClass.byteLength(), false);
    if (name.empty()) return std::nullopt;
    return name;
}

std::optional<std::string> X11Windows::applicationIDFrom(const X11Property& text) const {
    if (!text.exists() || text.format() != 8) return std::nullopt;
    std::string id = x11TextToUTF8(text.bytes(), text.byteLength(), text.type() == connection_.atoms().UTF8_STRING);
    if (id.empty()) return std::nullopt;
    return id;
}

std::optional<X11SizeHints> X11Windows::sizeHints(xcb_window_t window) {
    if (auto known = hints_.find(window); known != hints_.end()) return known->second;
    auto value = X11Property::read(connection_, window, XCB_ATOM_WM_NORMAL_HINTS,
                                   XCB_ATOM_WM_SIZE_HINTS, vanish);
    if (!value) {
        return std::nullopt;
    }
    auto words = value->cardinals();
    auto parsed = X11SizeHints::parse(words.data(), words.size());
    X11SizeHints hints = parsed ? *parsed : X11SizeHints{};
    keepHints(window, hints);
    return hints;
}

void X11Windows::keepHints(xcb_window_t window, const X11SizeHints& hints) {
    // Only where their change is announced (a followed window's PropertyNotify).
    if (followed_.count(window)) hints_[window] = hints;
}

std::optional<X11Strut> X11Windows::strut(xcb_window_t window) {
    const X11Atoms& a = connection_.atoms();
    auto partialCookie = X11Property::request(connection_, window, a._NET_WM_STRUT_PARTIAL, XCB_ATOM_CARDINAL);
    auto plainCookie = X11Property::request(connection_, window, a._NET_WM_STRUT, XCB_ATOM_CARDINAL);
    auto partial = X11Property::fetch(connection_, partialCookie, vanish);
    auto plain = X11Property::fetch(connection_, plainCookie, vanish);
    if (!partial || !plain) {
        return std::nullopt;
    }
    X11Strut s;
    auto p = partial->cardinals();
    if (p.size() >= 12) {
        s = X11Strut{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11]};
        return s;
    }
    auto q = plain->cardinals();
    if (q.size() >= 4) {
        // The older form reserves whole edges.
        const xcb_screen_t& screen = connection_.screen();
        uint32_t maxX = screen.width_in_pixels ? screen.width_in_pixels - 1u : 0u;
        uint32_t maxY = screen.height_in_pixels ? screen.height_in_pixels - 1u : 0u;
        s = X11Strut{q[0], q[1], q[2], q[3], 0, maxY, 0, maxY, 0, maxX, 0, maxX};
    }
    return s;
}

bool X11Windows::hasWMState(xcb_window_t window) {
    auto value = X11Property::read(connection_, window, connection_.atoms().WM_STATE,
                                   XCB_GET_PROPERTY_TYPE_ANY, vanish, 2);
    return value && value->exists();
}

std::optional<X11Windows::Hit> X11Windows::windowAt(Point point) {
    int16_t x = static_cast<int16_t>(x11Pixels(std::floor(point.x)));
    int16_t y = static_cast<int16_t>(x11Pixels(std::floor(point.y)));
    xcb_window_t root = connection_.root();
    // The server's own answer honours stacking, mapping and input shapes (an input-transparent
    // overlay is looked through).
    auto top = connection_.reply(xcb_translate_coordinates_reply,
                                 xcb_translate_coordinates(connection_.xcb(), root, root, x, y),
                                 "TranslateCoordinates");
    xcb_window_t candidate = top ? top->child : xcb_window_t{XCB_WINDOW_NONE};
    for (int depth = 0; candidate != XCB_WINDOW_NONE && depth < 16; ++depth) {
        if (hasWMState(candidate)) {
            return Hit{candidate, false};
        }
        auto below = connection_.reply(xcb_translate_coordinates_reply,
                                       xcb_translate_coordinates(connection_.xcb(), root, candidate, x, y),
                                       "TranslateCoordinates", vanish);
        candidate = below ? below->child : xcb_window_t{XCB_WINDOW_NONE};
    }
    for (xcb_window_t client : readClientsFrontToBack(connection_)) {
        if (isHidden(client).value_or(true)) {
            continue;
        }
        // Not inside any client window: on a window manager's decoration, or beside every frame.
        auto around = geometry(client);
        if (around && around->outer().contains(point)) {
            return Hit{client, around->titleBarContains(point)};
        }
    }
    return std::nullopt;
}

// --- Text ----------------------------------------------------------------------------------------

std::string x11TextToUTF8(const uint8_t* bytes, size_t length, bool isUTF8) {
    const void* nul = std::memchr(bytes, 0, length);
    if (nul) {
        length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes);
    }
    std::string out;
    out.reserve(length);
    auto appendCodePoint = [&out](uint32_t cp) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    };
    if (!isUTF8) {
        for (size_t i = 0; i < length; ++i) {
            appendCodePoint(bytes[i]);
        }
        return out;
    }
    constexpr uint32_t replacement = 0xFFFD;
    size_t i = 0;
    while (i < length) {
        uint8_t lead = bytes[i];
        size_t extra = 0;
        uint32_t cp = 0;
        uint32_t least = 0;
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, least = 0x10000;
        } else {
            appendCodePoint(replacement);
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra && i + j < length && (bytes[i + j] & 0xC0) == 0x80; ++j) {
            cp = (cp << 6) | (bytes[i + j] & 0x3F);
        }
        if (j <= extra || cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // A broken sequence: one replacement character, then go on after what was consumed.
            appendCodePoint(replacement);
            i += j;
            continue;
        }
        appendCodePoint(cp);
        i += j;
    }
    return out;
}

}  // namespace tessary
