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

// _NET_MOVERESIZE_WINDOW: NorthWest gravity, which fields are given, and "source indication 2"
// (a pager or similar tool acting for the user), which window managers honour without the focus
// stealing checks they apply to applications.
constexpr uint32_t kGravityNorthWest = 1;
constexpr uint32_t kMoveX = 1u << 8;
constexpr uint32_t kMoveY = 1u << 9;
constexpr uint32_t kResizeWidth = 1u << 10;
constexpr uint32_t kResizeHeight = 1u << 11;
constexpr uint32_t kSourcePager = 2;

// WM_NORMAL_HINTS flags.
constexpr uint32_t kPMinSize = 1u << 4;
constexpr uint32_t kPMaxSize = 1u << 5;
constexpr uint32_t kPResizeInc = 1u << 6;
constexpr uint32_t kPBaseSize = 1u << 8;

constexpr uint32_t kStateRemove = 0;

// How long a window manager gets to answer before the back end asks it whether it will at all.
constexpr std::chrono::milliseconds kWindowManagerGrace{50};
// A window that left a maximised or full-screen state has settled once nothing about it (its
// state, its frame extents, its place or size) has changed for this long; it is waited for at
// most the limits below, before the move and again before the frame is read back.
constexpr std::chrono::milliseconds kSettleQuiet{50};
constexpr std::chrono::milliseconds kLeaveStateLimit{600};
constexpr std::chrono::milliseconds kSettleLimit{400};

int32_t toPixels(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    return static_cast<int32_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

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

Rect X11WindowGeometry::outer() const {
    return Rect(client.x() - frame.left + clientSide.left, client.y() - frame.top + clientSide.top,
                client.width() + frame.left + frame.right - clientSide.left - clientSide.right,
                client.height() + frame.top + frame.bottom - clientSide.top - clientSide.bottom);
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

bool X11Windows::hasLiveWindowManager() {
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
    return *windowManagerCheck_ != XCB_WINDOW_NONE;
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
    if (settling_.erase(window)) {
        // It left a maximised or full-screen state for our move: the answer to the move may not be
        // the last word (new frame extents, a client restoring its own earlier size).
        const xcb_window_t topLevel = topLevelOf(window);
        const xcb_window_t frame = topLevel != window ? topLevel : xcb_window_t{XCB_WINDOW_NONE};
        if (frame != XCB_WINDOW_NONE) watchFrame(frame, true);
        awaitSettled(window, frame, X11Connection::Clock::now() + kSettleLimit);
        dropConfirmed(window);
        if (frame != XCB_WINDOW_NONE) {
            watchFrame(frame, false);
            connection_.flush();
        }
    }
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
    int16_t x = static_cast<int16_t>(toPixels(std::floor(point.x)));
    int16_t y = static_cast<int16_t>(toPixels(std::floor(point.y)));
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

// --- Writes --------------------------------------------------------------------------------------

xcb_window_t X11Windows::topLevelOf(xcb_window_t window) {
    if (auto known = topLevels_.find(window); known != topLevels_.end()) return known->second;
    xcb_window_t found = XCB_WINDOW_NONE;
    xcb_window_t at = window;
    for (int depth = 0; depth < 16; ++depth) {
        auto tree = connection_.reply(xcb_query_tree_reply, xcb_query_tree(connection_.xcb(), at), "QueryTree", vanish);
        if (!tree) return XCB_WINDOW_NONE;
        if (tree->parent == connection_.root() || tree->parent == XCB_WINDOW_NONE) {
            found = at;
            break;
        }
        at = tree->parent;
    }
    if (found != XCB_WINDOW_NONE) topLevels_[window] = found;
    return found;
}

void X11Windows::watchFrame(xcb_window_t frame, bool watch) {
    // Only while a request of ours waits for its answer, or its answer stands for the frame, and
    // not past the frame's first move elsewhere: a frame followed all the time would send an event
    // for every step of every drag.
    uint32_t mask = watch ? XCB_EVENT_MASK_STRUCTURE_NOTIFY : 0;
    connection_.checkLater(xcb_change_window_attributes_checked(connection_.xcb(), frame, XCB_CW_EVENT_MASK, &mask),
                           "ChangeWindowAttributes", vanish);
}

void X11Windows::follow(xcb_window_t window) {
    if (!followed_.insert(window).second) {
        return;
    }
    uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    connection_.checkLater(
        xcb_change_window_attributes_checked(connection_.xcb(), window, XCB_CW_EVENT_MASK, &mask),
        "ChangeWindowAttributes", vanish);
}

void X11Windows::dropConfirmed(xcb_window_t window) {
    auto confirmed = confirmed_.find(window);
    if (confirmed == confirmed_.end()) return;
    if (confirmed->second.frame != XCB_WINDOW_NONE) {
        watchFrame(confirmed->second.frame, false);
        connection_.flush();
    }
    confirmed_.erase(confirmed);
}

void X11Windows::forget(xcb_window_t window) {
    followed_.erase(window);
    settling_.erase(window);
    hints_.erase(window);
    dropConfirmed(window);
    topLevels_.erase(window);
}

void X11Windows::sendClientMessage(xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5]) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::memcpy(message.data.data32, data, sizeof data);
    // Sent to the root with the mask the window manager selects there (EWMH "root window
    // messages"); the root never vanishes, so any error here is a fault of ours.
    connection_.checkLater(
        xcb_send_event_checked(connection_.xcb(), 0, connection_.root(),
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                               reinterpret_cast<const char*>(&message)),
        "SendEvent", X11ErrorTolerance::none);
}

void X11Windows::sendMoveResize(xcb_window_t window, uint32_t flags, int32_t x, int32_t y,
                                int32_t width, int32_t height) {
    uint32_t data[5] = {kGravityNorthWest | flags | (kSourcePager << 12), static_cast<uint32_t>(x),
                        static_cast<uint32_t>(y), static_cast<uint32_t>(width),
                        static_cast<uint32_t>(height)};
    sendClientMessage(window, connection_.atoms()._NET_MOVERESIZE_WINDOW, data);
}

void X11Windows::awaitWindowManager(uint64_t mark, const EventTest& wanted,
                                    X11Connection::Clock::time_point deadline) {
    if (!hasLiveWindowManager()) {
        connection_.flush();
        return;  // nobody to answer
    }
    // A window manager that ends meanwhile will answer nothing: its check window's end ends the wait.
    const xcb_window_t checkWindow = windowManagerCheck_.value_or(XCB_WINDOW_NONE);
    EventTest answered;
    if (wanted) {
        answered = [&wanted, checkWindow](const xcb_generic_event_t& event) {
            if (wanted(event)) return true;
            return checkWindow != XCB_WINDOW_NONE && (event.response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
                   reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == checkWindow;
        };
    }
    if (answered) {
        auto grace = std::min(deadline, X11Connection::Clock::now() + kWindowManagerGrace);
        if (connection_.waitForEvent(mark, answered, grace) || X11Connection::Clock::now() >= deadline) {
            return;
        }
    }
    if (!hasWindowManagerBarrier()) {
        if (answered) connection_.waitForEvent(mark, answered, deadline);
        return;
    }
    // The window manager handles client messages in order: once it has answered this one, it has
    // handled (or declined) everything sent before. Only asked for when needed: answering it costs
    // the window manager more than the move itself.
    uint32_t nothing[5] = {};
    sendClientMessage(probe_, connection_.atoms()._NET_REQUEST_FRAME_EXTENTS, nothing);
    xcb_window_t probe = probe_;
    xcb_atom_t extents = connection_.atoms()._NET_FRAME_EXTENTS;
    connection_.waitForEvent(
        mark,
        [&answered, probe, extents](const xcb_generic_event_t& event) {
            if (answered && answered(event)) return true;
            if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
            const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            return change.window == probe && change.atom == extents;
        },
        deadline);
}

X11Windows::EventTest X11Windows::configuredOrGone(xcb_window_t window,
                                                  std::function<bool(const xcb_configure_notify_event_t&)> wanted) {
    return [window, wanted = std::move(wanted)](const xcb_generic_event_t& event) {
        switch (event.response_type & 0x7f) {
        case XCB_CONFIGURE_NOTIFY: {
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            return configure.window == window && wanted(configure);
        }
        case XCB_DESTROY_NOTIFY:
            return reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == window;
        case XCB_UNMAP_NOTIFY:
            return reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window == window;
        default:
            return false;
        }
    };
}

void X11Windows::leaveMaximizedState(xcb_window_t window, xcb_window_t frame, bool clientMarginComes,
                                     X11Connection::Clock::time_point deadline) {
    const X11Atoms& a = connection_.atoms();
    uint64_t mark = connection_.eventMark();
    uint32_t maximized[5] = {kStateRemove, a._NET_WM_STATE_MAXIMIZED_VERT, a._NET_WM_STATE_MAXIMIZED_HORZ,
                             kSourcePager, 0};
    uint32_t fullScreen[5] = {kStateRemove, a._NET_WM_STATE_FULLSCREEN, 0, kSourcePager, 0};
    if (frame != XCB_WINDOW_NONE) watchFrame(frame, true);
    sendClientMessage(window, a._NET_WM_STATE, maximized);
    sendClientMessage(window, a._NET_WM_STATE, fullScreen);
    auto changed = [window](xcb_atom_t atom) {
        return [window, atom](const xcb_generic_event_t& event) {
            if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
            const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            return change.window == window && change.atom == atom;
        };
    };
    // Leaving a state may take the window manager several changes of the state (one per request),
    // configures and new frame extents: first the state without either, as the window manager says
    // it. fluxbox lists the frame-extents barrier but leaves it unanswered here: waiting for the
    // barrier alone spent the whole time-out.
    awaitWindowManager(mark, changed(a._NET_WM_STATE), deadline);
    for (;;) {
        auto snap = snapshot(window, false);
        if (!snap || !snap->maximizedOrFullScreen || !hasLiveWindowManager()) break;
        const uint64_t next = connection_.eventMark();
        if (!connection_.waitForEvent(next, changed(a._NET_WM_STATE), deadline)) break;
    }
    // A client that draws its own frame had no margin while maximised; it sets it again once it
    // has redrawn itself unmaximised, and until then the visible frame is not known.
    if (clientMarginComes) connection_.waitForEvent(mark, changed(a._GTK_FRAME_EXTENTS), deadline);
    // The window manager's new extents and configures follow the state (openbox: state, configure,
    // extents); once nothing about the window changes, the frame can be computed.
    awaitSettled(window, frame, deadline);
    if (frame != XCB_WINDOW_NONE) watchFrame(frame, false);
}

void X11Windows::awaitSettled(xcb_window_t window, xcb_window_t frame, X11Connection::Clock::time_point deadline) {
    if (!hasLiveWindowManager()) return;
    const X11Atoms& a = connection_.atoms();
    const xcb_atom_t state = a._NET_WM_STATE, extents = a._NET_FRAME_EXTENTS, margin = a._GTK_FRAME_EXTENTS;
    auto about = [&](const xcb_generic_event_t& event) {
        switch (event.response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
            const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            return change.window == window && (change.atom == state || change.atom == extents || change.atom == margin);
        }
        case XCB_CONFIGURE_NOTIFY: {
            const xcb_window_t configured = reinterpret_cast<const xcb_configure_notify_event_t&>(event).window;
            return configured == window || (frame != XCB_WINDOW_NONE && configured == frame);
        }
        case XCB_DESTROY_NOTIFY:
            return reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window == window;
        default:
            return false;
        }
    };
    for (;;) {
        const auto now = X11Connection::Clock::now();
        if (now >= deadline) return;
        const uint64_t mark = connection_.eventMark();
        if (!connection_.waitForEvent(mark, about, std::min(deadline, now + kSettleQuiet))) return;
    }
}

bool X11Windows::moveTo(xcb_window_t window, Point origin, std::chrono::milliseconds timeout) {
    return moveResize(window, origin, std::nullopt, timeout);
}

bool X11Windows::resizeTo(xcb_window_t window, Size size, std::chrono::milliseconds timeout) {
    return moveResize(window, std::nullopt, size, timeout);
}

bool X11Windows::moveResize(xcb_window_t window, std::optional<Point> origin, std::optional<Size> size,
                            std::chrono::milliseconds timeout, bool wait) {
    auto deadline = X11Connection::Clock::now() + timeout;
    follow(window);
    dropConfirmed(window);
    const bool withHints = size.has_value();
    const xcb_window_t topLevel = topLevelOf(window);
    const xcb_window_t frameWindow = topLevel != window ? topLevel : xcb_window_t{XCB_WINDOW_NONE};
    auto snap = snapshot(window, withHints, frameWindow);
    if (!snap) {
        return false;
    }
    if (snap->maximizedOrFullScreen) {
        const X11Extents none;
        leaveMaximizedState(window, frameWindow, snap->clientSideDecorated && snap->geometry.clientSide == none,
                            std::min(deadline, X11Connection::Clock::now() + kLeaveStateLimit));
        snap = snapshot(window, withHints, frameWindow);
        if (!snap) {
            return false;
        }
        // The move gets its own time; and its answer is read back only once the window settled.
        deadline = X11Connection::Clock::now() + timeout;
        if (wait) settling_.insert(window);
    }
    const X11WindowGeometry& g = snap->geometry;
    const Rect outer = g.outer();
    const Size current{g.client.width() - 2.0 * g.borderWidth, g.client.height() - 2.0 * g.borderWidth};

    // The client size (without border) asked for: the largest the size hints allow. A window
    // manager that ignores size increments would grant a size between two steps, which the client
    // (an xterm) then rounds down itself, late and wherever it then is: asked in whole steps, every
    // window manager grants it at once.
    Size asked = current;
    if (size) {
        Size wanted = g.clientSizeFor(Size{double(toPixels(size->width)), double(toPixels(size->height))});
        asked = Size{double(std::max(1, toPixels(wanted.width))), double(std::max(1, toPixels(wanted.height)))};
        if (snap->hints) asked = snap->hints->constrain(asked);
    }
    const Size predicted = asked;
    int32_t x = toPixels(origin ? origin->x : outer.x());
    int32_t y = toPixels(origin ? origin->y : outer.y());
    const bool moves = x != toPixels(outer.x()) || y != toPixels(outer.y());
    const bool resizes = size && (toPixels(asked.width) != toPixels(current.width) ||
                                  toPixels(asked.height) != toPixels(current.height));
    if (!moves && !resizes) {
        return true;
    }
    const Declined request{window, x, y, toPixels(asked.width), toPixels(asked.height), moves, resizes, 0, {}};
    if (declined_ && declined_->sameRequest(request) && declined_->mark == connection_.eventMark() &&
        X11Connection::Clock::now() - declined_->at < kWindowManagerGrace) {
        // Declined a moment ago, and nothing has happened since: it would be declined again.
        return true;
    }
    declined_.reset();

    // Selected before the request goes out, so the frame's answer cannot come before it.
    if (frameWindow != XCB_WINDOW_NONE && wait) watchFrame(frameWindow, true);
    uint64_t mark = connection_.eventMark();
    // With NorthWest gravity the window manager places the top-left corner of its frame at the
    // given point; a client-side decorated window's visible corner lies inside its X window.
    int32_t sentX = x - g.clientSide.left;
    int32_t sentY = y - g.clientSide.top;
    // Every field given, the unchanged ones as they are: fluxbox takes a move without a size as a
    // request for its frame's height (title bar included) as the client's.
    sendMoveResize(window, kMoveX | kMoveY | kResizeWidth | kResizeHeight, sentX, sentY, toPixels(asked.width),
                   toPixels(asked.height));
    const bool sizeChanges = predicted != current;
    if (!wait || (!moves && !sizeChanges)) {
        // A window with size increments may end exactly where it is: then nothing changes and there
        // is nothing to wait for.
        if (frameWindow != XCB_WINDOW_NONE && wait) watchFrame(frameWindow, false);
        connection_.flush();
        return true;
    }
    // The answer (ICCCM 4.2.3): a window that was only moved gets a synthetic ConfigureNotify with
    // its new place in root coordinates, at the outside of the border it asked for (the window
    // manager may have set the real border to 0 and drawn it in the frame); a window that was
    // resized gets the server's own ConfigureNotify, relative to the frame, with its new size.
    // Only that answer counts; one left over from an earlier request does not.
    const int32_t clientX = sentX + g.frame.left;
    const int32_t clientY = sentY + g.frame.top;
    const auto wantedWidth = static_cast<uint16_t>(std::clamp(predicted.width, 1.0, 65535.0));
    const auto wantedHeight = static_cast<uint16_t>(std::clamp(predicted.height, 1.0, 65535.0));
    bool answered = false;
    bool placed = false;
    // Where the frame goes when the window manager honours the position: as far from the outer
    // frame's corner as it is now.
    std::optional<Point> frameTarget;
    bool frameThere = false;
    if (snap->topLevel) frameTarget = Point{x + snap->topLevel->x - outer.x(), y + snap->topLevel->y - outer.y()};
    const EventTest clientAnswer = configuredOrGone(window, [&](const xcb_configure_notify_event_t& configure) {
        if (configure.width != wantedWidth || configure.height != wantedHeight) {
            return false;
        }
        auto at = [&](int32_t reported, int32_t wanted) {
            return reported == wanted || reported + configure.border_width == wanted;
        };
        const bool synthetic = configure.response_type & 0x80;
        answered = synthetic ? at(configure.x, clientX) && at(configure.y, clientY) : sizeChanges;
        // A synthetic answer says where the window is; a real one speaks of its place in the frame,
        // and the frame's own ConfigureNotify (openbox moves the frame first) of where the frame is.
        placed = answered && (synthetic || frameThere);
        return answered;
    });
    awaitWindowManager(mark,
                       [&](const xcb_generic_event_t& event) {
                           if ((event.response_type & 0x7f) == XCB_CONFIGURE_NOTIFY && frameTarget &&
                               reinterpret_cast<const xcb_configure_notify_event_t&>(event).window == topLevel) {
                               const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
                               frameThere = configure.x == frameTarget->x && configure.y == frameTarget->y;
                               return false;
                           }
                           return clientAnswer(event);
                       },
                       deadline);
    // A frame read from the answer is kept only while the frame is watched, which needs its place.
    const bool keep = placed && (frameWindow == XCB_WINDOW_NONE || frameTarget);
    if (frameWindow != XCB_WINDOW_NONE && !keep) {
        watchFrame(frameWindow, false);
        connection_.flush();
    }
    if (!answered) {
        declined_ = request;
        declined_->mark = connection_.eventMark();
        declined_->at = X11Connection::Clock::now();
    }
    if (keep) {
        // The answer says where the window is: the next read of its frame need not ask the server,
        // which may be busy serving the window's own repaint.
        confirmed_[window] = Confirmed{Rect(x, y, predicted.width + (outer.width() - current.width),
                                            predicted.height + (outer.height() - current.height)),
                                       connection_.eventMark(), frameWindow, frameTarget.value_or(Point{})};
    }
    return true;
}

void X11Windows::activate(xcb_window_t window, std::chrono::milliseconds timeout) {
    auto deadline = X11Connection::Clock::now() + timeout;
    if (activeWindow() == window) {
        return;
    }
    uint64_t mark = connection_.eventMark();
    // Source indication 2, the current time, and no window of ours that was active.
    uint32_t data[5] = {kSourcePager, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0};
    sendClientMessage(window, connection_.atoms()._NET_ACTIVE_WINDOW, data);
    xcb_window_t root = connection_.root();
    xcb_atom_t active = connection_.atoms()._NET_ACTIVE_WINDOW;
    awaitWindowManager(
        mark,
        [root, active](const xcb_generic_event_t& event) {
            if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
            const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
            return change.window == root && change.atom == active;
        },
        deadline);
    // jwm announces the new active window before it restacks, which it does before it reads its
    // next request: while another window still covers it, a request sent behind says when the
    // window manager is done. Most restack first, and are not asked.
    if (isCovered(window) && hasWindowManagerBarrier()) awaitWindowManager(connection_.eventMark(), {}, deadline);
}

bool X11Windows::isCovered(xcb_window_t window) {
    xcb_connection_t* c = connection_.xcb();
    const xcb_window_t frame = topLevelOf(window);
    if (frame == XCB_WINDOW_NONE) return false;
    auto tree = connection_.reply(xcb_query_tree_reply, xcb_query_tree(c, connection_.root()), "QueryTree");
    if (!tree) return false;
    // Bottom to top: the root's children above the frame.
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const xcb_window_t* end = children + xcb_query_tree_children_length(tree.get());
    const xcb_window_t* at = std::find(children, end, frame);
    if (at == end) return false;
    struct Above {
        xcb_get_geometry_cookie_t geometry;
        xcb_get_window_attributes_cookie_t attributes;
    };
    std::vector<Above> above;
    for (const xcb_window_t* sibling = at + 1; sibling != end; ++sibling) {
        above.push_back({xcb_get_geometry(c, *sibling), xcb_get_window_attributes(c, *sibling)});
    }
    auto own = connection_.reply(xcb_get_geometry_reply, xcb_get_geometry(c, frame), "GetGeometry", vanish);
    bool covered = false;
    for (const Above& sibling : above) {
        auto geometry = connection_.reply(xcb_get_geometry_reply, sibling.geometry, "GetGeometry", vanish);
        auto attributes =
            connection_.reply(xcb_get_window_attributes_reply, sibling.attributes, "GetWindowAttributes", vanish);
        // Menus and overlays (override-redirect) are no window manager's to restack.
        if (covered || !own || !geometry || !attributes || attributes->override_redirect ||
            attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
            continue;
        }
        const Rect mine(own->x, own->y, own->width + 2 * own->border_width, own->height + 2 * own->border_width);
        const Rect theirs(geometry->x, geometry->y, geometry->width + 2 * geometry->border_width,
                          geometry->height + 2 * geometry->border_width);
        covered = mine.intersects(theirs);
    }
    return covered;
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
