#pragma once

#include "Platform/X11/X11Connection.h"
#include "Platform/X11/X11Property.h"
#include "TessaryCore/Geometry.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tessary {

// _NET_WM_WINDOW_TYPE, reduced to what the back end distinguishes. `unset` means the window
// carries no type the back end knows, which EWMH says to treat as normal.
enum class X11WindowType { unset, normal, dialog, dock, desktop, utility, toolbar, menu, splash, other };

// What kind of window a client is: its type and whether it is transient for another window.
struct X11WindowKind {
    X11WindowType type = X11WindowType::unset;
    bool isTransient = false;

    // Normal (or untyped) and transient for no other window: what the system calls standard.
    bool isStandard() const {
        return (type == X11WindowType::normal || type == X11WindowType::unset) && !isTransient;
    }
};

struct X11Extents {
    int32_t left = 0;
    int32_t right = 0;
    int32_t top = 0;
    int32_t bottom = 0;

    friend bool operator==(const X11Extents&, const X11Extents&) = default;
};

// Where a client window is and what surrounds it.
struct X11WindowGeometry {
    // The client window, border included, in root coordinates.
    Rect client;
    // The window manager's decorations around it (_NET_FRAME_EXTENTS).
    X11Extents frame;
    // The invisible margin that client-side decorated windows draw inside (_GTK_FRAME_EXTENTS).
    X11Extents clientSide;
    uint16_t borderWidth = 0;

    // The frame a user sees: the client plus the decorations, minus the client-side margin.
    Rect outer() const;
    // All the window covers on the screen: the client plus the decorations, its margin included.
    Rect whole() const;
    // Whether a root point is on the window manager's title bar: its decoration above the client,
    // inside the frame's edges, where a press and a drag move the window rather than resize it.
    // An edge is as thick as the thicker side's decoration, and at least titleBarEdge (window
    // managers without side borders resize by the bar's outermost pixels). False for a window
    // without such a bar (undecorated, or decorated by the client itself).
    bool titleBarContains(Point point) const;
    static constexpr int32_t titleBarEdge = 4;
    // The client size (without border) that gives this outer size, and the other way round.
    Size clientSizeFor(Size outerSize) const;
    Size outerSizeFor(Size clientSize) const;
};

// WM_NORMAL_HINTS, the part a window manager uses to constrain sizes.
struct X11SizeHints {
    std::optional<Size> minimum;
    std::optional<Size> maximum;
    std::optional<Size> base;
    std::optional<Size> increment;

    bool hasIncrements() const;
    // The client size the window manager gives for a requested one, by the ICCCM rules.
    Size constrain(Size requested) const;
    // Parses the raw 32-bit words of the property; nullopt when it is too short.
    static std::optional<X11SizeHints> parse(const uint32_t* words, size_t count);
};

// The strut a window reserves at the edges of the root window (_NET_WM_STRUT_PARTIAL layout).
struct X11Strut {
    uint32_t left = 0, right = 0, top = 0, bottom = 0;
    uint32_t leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
    uint32_t topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;

    bool isEmpty() const { return left == 0 && right == 0 && top == 0 && bottom == 0; }
    friend bool operator==(const X11Strut&, const X11Strut&) = default;
};

// A length in whole pixels, within X's 16-bit coordinates (0 for what is not a number).
int32_t x11Pixels(double value);

// Whether a window asked to cover `asked`, which reaches past an edge of `area` (where the window
// manager confines windows), was held back at that edge: it covers `held`, which does not reach
// past it.
bool x11HeldAtScreenEdge(const Rect& asked, const Rect& held, const Rect& area);
// Of the areas where a window manager confines windows (each monitor's work area), the one that
// holds most of `asked`; the root window (`rootSize`) when none holds any of it.
Rect x11ConfiningArea(const Rect& asked, const std::vector<Rect>& areas, Size rootSize);

// Turns the bytes of a text property into valid UTF-8: UTF8_STRING is checked (invalid sequences
// become U+FFFD), STRING is Latin-1; the text ends at the first NUL.
std::string x11TextToUTF8(const uint8_t* bytes, size_t length, bool isUTF8);

// The EWMH and ICCCM view of client windows: reads of their properties (X11Windows.cpp) and the
// requests that move, resize and activate them through the window manager (X11WindowRequests.cpp).
// Every call on a window tolerates that the window vanished meanwhile and then gives an absent
// result.
class X11Windows {
public:
    explicit X11Windows(X11Connection& connection);
    ~X11Windows();
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    X11Connection& connection() { return connection_; }

    // _NET_CLIENT_LIST (in mapping order) and _NET_CLIENT_LIST_STACKING (bottom to top).
    std::vector<xcb_window_t> clientList();
    std::vector<xcb_window_t> clientListStacking();
    std::optional<xcb_window_t> activeWindow();
    // The window the user works in: the active window, unless the window manager made a panel
    // active (a dock or the desktop: jwm activates the dock a tray sits in when it is clicked,
    // though the dock takes no keyboard focus); then the managed window, no panel, that holds the
    // keyboard focus.
    std::optional<xcb_window_t> focusedClient();
    std::vector<xcb_atom_t> supported();

    // nullopt: the window is gone.
    std::optional<X11WindowType> windowType(xcb_window_t window);
    std::optional<X11WindowKind> kind(xcb_window_t window);
    // The window is of type normal (or none) and not transient for another.
    std::optional<bool> isStandard(xcb_window_t window);
    // False once the window is destroyed.
    bool exists(xcb_window_t window);
    // _NET_WM_NAME, else WM_NAME.
    std::optional<std::string> title(xcb_window_t window);
    std::optional<bool> isHidden(xcb_window_t window);
    std::optional<X11WindowGeometry> geometry(xcb_window_t window);
    // Right after the window manager answered a move or resize of ours, and until any other event
    // arrives, the frame that answer gives. Meanwhile the window manager's frame is watched: some
    // (fluxbox) move it through a whole drag without a word to the client, and only the frame's own
    // ConfigureNotify says that the answer is old.
    std::optional<Rect> outerFrame(xcb_window_t window);
    // _NET_WM_PID, else the process the X-Resource extension knows for the window's client.
    std::optional<int32_t> processID(xcb_window_t window);
    // The class part of WM_CLASS.
    std::optional<std::string> windowClass(xcb_window_t window);
    // Kept for followed windows until their WM_NORMAL_HINTS change.
    std::optional<X11SizeHints> sizeHints(xcb_window_t window);
    std::optional<X11Strut> strut(xcb_window_t window);
    bool hasWMState(xcb_window_t window);

    // Decoders of properties read elsewhere (several windows' properties in one round trip).
    X11WindowType typeFrom(const X11Property& windowType) const;
    static std::optional<std::string> classFrom(const X11Property& wmClass);
    // The instance part of WM_CLASS ("mousepad" of "mousepad", "Mousepad").
    static std::optional<std::string> instanceFrom(const X11Property& wmClass);
    // An application id (`_GTK_APPLICATION_ID`, `_KDE_NET_WM_DESKTOP_FILE`): UTF8_STRING or STRING
    // text; nothing when absent or empty.
    std::optional<std::string> applicationIDFrom(const X11Property& text) const;

    // The managed window under a root point: the root child under it, down to the window that
    // carries WM_STATE; else the topmost visible client whose outer frame contains the point, and
    // then whether the point is on that window's title bar (the descent to the client tells that
    // it is not, without another request).
    struct Hit {
        xcb_window_t window = XCB_WINDOW_NONE;
        bool onTitleBar = false;
    };
    std::optional<Hit> windowAt(Point point);

    // Asks the window manager, in one _NET_MOVERESIZE_WINDOW (NorthWest gravity), to put the outer
    // frame's top-left corner at `origin` and give the outer frame `size` (either may be absent:
    // that part stays), after leaving a maximised or full-screen state, and waits (at most
    // `timeout`, unless `wait` is false) for the configure that answers it. The size asked is the
    // largest the window's size hints allow (whole steps of its size increments), whether or not
    // the window manager honours them. Nothing is sent when nothing would change. False when the
    // window is gone.
    bool moveResize(xcb_window_t window, std::optional<Point> origin, std::optional<Size> size,
                    std::chrono::milliseconds timeout, bool wait = true);
    bool moveTo(xcb_window_t window, Point origin, std::chrono::milliseconds timeout);
    bool resizeTo(xcb_window_t window, Size size, std::chrono::milliseconds timeout);
    // Asks the window manager to activate (raise and focus) the window and waits, at most
    // `timeout`, until it has handled the request: the active window has changed and, while
    // another window still covers it, the window manager has answered the frame-extents barrier
    // (where it does).
    void activate(xcb_window_t window, std::chrono::milliseconds timeout);

    // Whether the window manager held the window's last move or resize short of where it was asked
    // to keep the window wholly inside the area it confines windows to (`areas`: each monitor's
    // work area; icewm keeps a window on its monitor, above its taskbar there), the invisible margin
    // of a client-side decorated window (its shadow) included: the margin would have reached past
    // an edge of that area, and the window stays inside that edge. False for a window that draws no
    // such margin; nullopt when the window is gone.
    std::optional<bool> shadowKeptOnScreen(xcb_window_t window, const std::vector<Rect>& areas);

    // Selects the structure and property events the back end follows on a client window; once per
    // window until it is forgotten.
    void follow(xcb_window_t window);
    void forget(xcb_window_t window);

    // Whether the window manager answers _NET_REQUEST_FRAME_EXTENTS, which the back end uses to
    // learn that the window manager has handled every request sent before (see awaitWindowManager).
    bool hasWindowManagerBarrier();
    // Whether a window manager runs: the window named by the root's _NET_SUPPORTING_WM_CHECK exists
    // and names itself. Kept until the property changes or that window ends.
    bool hasLiveWindowManager() { return windowManagerCheckWindow() != XCB_WINDOW_NONE; }
    // That window, or XCB_WINDOW_NONE while no window manager runs.
    xcb_window_t windowManagerCheckWindow();

private:
    struct Snapshot {
        X11WindowGeometry geometry;
        bool maximizedOrFullScreen = false;
        // It carries _GTK_FRAME_EXTENTS (a client that draws its own frame), whatever its value.
        bool clientSideDecorated = false;
        std::optional<X11SizeHints> hints;
        // Where the top-level window holding the client (the window manager's frame) is, when asked.
        std::optional<Point> topLevel;
    };
    std::optional<Snapshot> snapshot(xcb_window_t window, bool withHints,
                                     xcb_window_t topLevel = XCB_WINDOW_NONE);
    // The root's child that holds the window (the window manager's frame; the window itself when
    // not reparented); kept until the window is reparented.
    xcb_window_t topLevelOf(xcb_window_t window);
    // Whether a mapped window the window manager stacks (no override-redirect one) lies above the
    // window's frame and overlaps it.
    bool isCovered(xcb_window_t window);
    // Selects (or no longer) the frame's ConfigureNotify.
    void watchFrame(xcb_window_t frame, bool watch);
    // Forgets the confirmed frame of `window` and stops watching its frame.
    void dropConfirmed(xcb_window_t window);
    // Sends _NET_WM_STATE removals for maximised and full-screen states and waits, until the
    // deadline at most, for the window to settle in its new state: the state gone, the client's
    // own margin set again when `clientMarginComes` (a client-side decorated window that had none
    // while maximised), and then nothing about it changing for a moment (awaitSettled). `frame`:
    // the window manager's frame, watched meanwhile (none when not reparented).
    void leaveMaximizedState(xcb_window_t window, xcb_window_t frame, bool clientMarginComes,
                             X11Connection::Clock::time_point deadline);
    // Waits until no event about the window (its state or frame extents changing, it or its frame
    // configured) has come for a moment, or the deadline passes. Nothing is waited for while no
    // window manager runs.
    void awaitSettled(xcb_window_t window, xcb_window_t frame, X11Connection::Clock::time_point deadline);
    // The same for the frame read right after a move out of such a state (its frame watched meanwhile).
    void awaitSettledAfterMove(xcb_window_t window);
    // Tells the window manager that the client-side decorated window's margin (_GTK_FRAME_EXTENTS)
    // changed, leaving it as it is; once per window until it is forgotten.
    void announceMargin(xcb_window_t window);
    // Gives the window the smaller client size where it is, and waits (until the deadline at most)
    // for the window manager's answer.
    void shrinkWhereItIs(xcb_window_t window, const X11WindowGeometry& geometry, Size size,
                         X11Connection::Clock::time_point deadline);
    void sendMoveResize(xcb_window_t window, uint32_t flags, int32_t x, int32_t y, int32_t width,
                        int32_t height);
    void sendClientMessage(xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5]);
    using EventTest = std::function<bool(const xcb_generic_event_t&)>;
    // Waits (until the deadline at most) for the window manager's answer to the requests sent
    // after `mark`: an event that `answered` accepts. Window managers answer at once; when nothing
    // came after a short grace (a window manager that keeps a window as it was has nothing to
    // announce), or when there is no answer to expect (`answered` empty), a frame-extents request
    // sent behind them settles it: once the window manager has answered that, it has handled
    // everything sent before. Nothing is awaited while no window manager runs, and the wait ends
    // when the window manager ends.
    void awaitWindowManager(uint64_t mark, const EventTest& answered, X11Connection::Clock::time_point deadline);
    // A ConfigureNotify of the window that `wanted` accepts, or the window's end.
    static EventTest configuredOrGone(xcb_window_t window,
                                      std::function<bool(const xcb_configure_notify_event_t&)> wanted);
    std::vector<xcb_window_t> windowListProperty(xcb_atom_t property);
    void keepHints(xcb_window_t window, const X11SizeHints& hints);

    // A frame the window manager's answer confirmed, valid while no event has been read since;
    // `frame` (when the window is reparented) is watched meanwhile and is expected at `frameAt`.
    struct Confirmed {
        Rect outer;
        uint64_t mark = 0;
        xcb_window_t frame = XCB_WINDOW_NONE;
        Point frameAt;
    };

    X11Connection& connection_;
    std::set<xcb_window_t> followed_;
    // Client-side decorated windows whose margin the window manager was told of (announceMargin).
    std::set<xcb_window_t> announcedMargins_;
    // What the last move or resize asked a client-side decorated window with a margin to cover on
    // the screen (X11WindowGeometry::whole), for shadowKeptOnScreen.
    std::map<xcb_window_t, Rect> askedWholes_;
    std::map<xcb_window_t, X11SizeHints> hints_;
    std::map<xcb_window_t, Confirmed> confirmed_;
    std::map<xcb_window_t, xcb_window_t> topLevels_;
    // Windows moved right after leaving a maximised or full-screen state: their next frame read
    // waits for them to settle first.
    std::set<xcb_window_t> settling_;
    // The last request the window manager let pass without an answer, the events read by then and
    // when: the same request right after (the window engine's retry) is not sent again.
    struct Declined {
        xcb_window_t window;
        int32_t x, y, width, height;
        bool moves, resizes;
        uint64_t mark;
        X11Connection::Clock::time_point at;
        bool sameRequest(const Declined& other) const {
            return window == other.window && x == other.x && y == other.y && width == other.width &&
                   height == other.height && moves == other.moves && resizes == other.resizes;
        }
    };
    std::optional<Declined> declined_;
    int handlerId_ = 0;
    // An unmapped window of our own whose frame extents the window manager is asked for.
    xcb_window_t probe_ = XCB_WINDOW_NONE;
    std::optional<bool> barrierSupported_;
    // The live window manager's check window (XCB_WINDOW_NONE: none runs); absent until asked.
    std::optional<xcb_window_t> windowManagerCheck_;
};

}  // namespace tessary
