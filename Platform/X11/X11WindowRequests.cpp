#include "Platform/X11/X11Windows.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// X11Windows' requests to the window manager: moving and resizing a window (out of a maximised or
// full-screen state first), activating it, and waiting for the answers.

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

constexpr uint32_t kStateRemove = 0;

// How long a window manager gets to answer before the back end asks it whether it will at all.
constexpr std::chrono::milliseconds kWindowManagerGrace{50};
// A window that left a maximised or full-screen state has settled once nothing about it (its
// state, its frame extents, its place or size) has changed for this long; it is waited for at
// most the limits below, before the move and again before the frame is read back.
constexpr std::chrono::milliseconds kSettleQuiet{50};
constexpr std::chrono::milliseconds kLeaveStateLimit{600};
constexpr std::chrono::milliseconds kSettleLimit{400};

}  // namespace

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
    announcedMargins_.erase(window);
    askedWholes_.erase(window);
    settling_.erase(window);
    hints_.erase(window);
    dropConfirmed(window);
    topLevels_.erase(window);
}

void X11Windows::announceMargin(xcb_window_t window) {
    if (!announcedMargins_.insert(window).second) return;
    // Appending nothing changes nothing but still tells everyone who listens that it changed.
    connection_.checkLater(xcb_change_property_checked(connection_.xcb(), XCB_PROP_MODE_APPEND, window,
                                                       connection_.atoms()._GTK_FRAME_EXTENTS, XCB_ATOM_CARDINAL,
                                                       32, 0, nullptr),
                           "ChangeProperty", vanish);
}

void X11Windows::shrinkWhereItIs(xcb_window_t window, const X11WindowGeometry& geometry, Size size,
                                 X11Connection::Clock::time_point deadline) {
    const int32_t width = x11Pixels(size.width);
    const int32_t height = x11Pixels(size.height);
    if (width < 1 || height < 1) return;
    const uint64_t mark = connection_.eventMark();
    // Where the window is: the same corner of the window manager's frame as a move would send.
    const Rect outer = geometry.outer();
    sendMoveResize(window, kMoveX | kMoveY | kResizeWidth | kResizeHeight,
                   x11Pixels(outer.x()) - geometry.clientSide.left, x11Pixels(outer.y()) - geometry.clientSide.top,
                   width, height);
    // A window that steps its size may go down a whole step; one that is at its least size stays.
    awaitWindowManager(mark,
                       configuredOrGone(window,
                                        [width, height](const xcb_configure_notify_event_t& configure) {
                                            return configure.width <= width && configure.height <= height;
                                        }),
                       deadline);
}

void X11Windows::sendClientMessage(xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5]) {
    const xcb_client_message_event_t message = rootWindowMessage(window, type, data);
    // The root never vanishes, so any error here is a fault of ours.
    connection_.checkLater(xcb_send_event_checked(connection_.xcb(), 0, connection_.root(), rootMessageMask,
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
    Rect outer = g.outer();
    auto clientSize = [&g] {
        return Size{g.client.width() - 2.0 * g.borderWidth, g.client.height() - 2.0 * g.borderWidth};
    };
    Size current = clientSize();

    // The client size (without border) asked for: the largest the size hints allow. A window
    // manager that ignores size increments would grant a size between two steps, which the client
    // (an xterm) then rounds down itself, late and wherever it then is: asked in whole steps, every
    // window manager grants it at once.
    Size asked = current;
    if (size) {
        Size wanted = g.clientSizeFor(Size{double(x11Pixels(size->width)), double(x11Pixels(size->height))});
        asked = Size{double(std::max(1, x11Pixels(wanted.width))), double(std::max(1, x11Pixels(wanted.height)))};
        if (snap->hints) asked = snap->hints->constrain(asked);
    }
    const Size predicted = asked;
    int32_t x = x11Pixels(origin ? origin->x : outer.x());
    int32_t y = x11Pixels(origin ? origin->y : outer.y());
    const bool moves = x != x11Pixels(outer.x()) || y != x11Pixels(outer.y());
    const bool resizes = size && (x11Pixels(asked.width) != x11Pixels(current.width) ||
                                  x11Pixels(asked.height) != x11Pixels(current.height));
    // With NorthWest gravity the window manager places the top-left corner of its frame at the
    // given point; a client-side decorated window's visible corner lies inside its X window.
    const int32_t sentX = x - g.clientSide.left;
    const int32_t sentY = y - g.clientSide.top;
    // All the window is asked to cover, its margin included: what a window manager that keeps
    // windows on the screen holds back.
    const Rect whole(sentX, sentY, asked.width + 2.0 * g.borderWidth + g.frame.left + g.frame.right,
                     asked.height + 2.0 * g.borderWidth + g.frame.top + g.frame.bottom);
    if (snap->clientSideDecorated && g.clientSide != X11Extents{}) {
        askedWholes_[window] = whole;
    } else {
        askedWholes_.erase(window);
    }
    if (!moves && !resizes) {
        return true;
    }
    const Declined request{window, x, y, x11Pixels(asked.width), x11Pixels(asked.height), moves, resizes, 0, {}};
    if (declined_ && declined_->sameRequest(request) && declined_->mark == connection_.eventMark() &&
        X11Connection::Clock::now() - declined_->at < kWindowManagerGrace) {
        // Declined a moment ago, and nothing has happened since: it would be declined again.
        return true;
    }
    declined_.reset();

    // marco takes a client-side decorated window's margin into account only once it changes, not
    // as the window was mapped with it: until then it keeps the whole X window, invisible shadow
    // included, on the screen, and a zone at the screen's edge is out of reach. Sent before the
    // move, so the window manager has read the margin again by the time it handles the move.
    if (snap->clientSideDecorated) announceMargin(window);

    // icewm keeps a window wholly on the screen, unless the request makes it larger on the axis
    // where it would leave the screen: a window whose margin is to reach past the screen's left or
    // top edge without growing there is first made a pixel smaller than it is to be on that axis,
    // so that the move grows it. (The screen's right and bottom edges are beyond reach: there it
    // pulls a growing window in.) Only where the answer is awaited: the move must not reach the
    // window manager first.
    const bool narrower = whole.minX() < 0 && x11Pixels(asked.width) <= x11Pixels(current.width);
    const bool lower = whole.minY() < 0 && x11Pixels(asked.height) <= x11Pixels(current.height);
    if (snap->clientSideDecorated && wait && (narrower || lower)) {
        shrinkWhereItIs(window, g,
                        Size{narrower ? asked.width - 1 : current.width, lower ? asked.height - 1 : current.height},
                        deadline);
        snap = snapshot(window, withHints, frameWindow);
        if (!snap) {
            return false;
        }
        outer = g.outer();
        current = clientSize();
    }

    // Selected before the request goes out, so the frame's answer cannot come before it.
    if (frameWindow != XCB_WINDOW_NONE && wait) watchFrame(frameWindow, true);
    uint64_t mark = connection_.eventMark();
    // Every field given, the unchanged ones as they are: fluxbox takes a move without a size as a
    // request for its frame's height (title bar included) as the client's.
    sendMoveResize(window, kMoveX | kMoveY | kResizeWidth | kResizeHeight, sentX, sentY, x11Pixels(asked.width),
                   x11Pixels(asked.height));
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

void X11Windows::awaitSettledAfterMove(xcb_window_t window) {
    // It left a maximised or full-screen state for our move: the answer to the move may not be the
    // last word (new frame extents, a client restoring its own earlier size).
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

}  // namespace tessary
