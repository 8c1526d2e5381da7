#pragma once

#include "Platform/HandlerList.h"
#include "Platform/Logger.h"
#include "Platform/X11/X11Atoms.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tessary {

struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};
// A reply or error that xcb allocated and the caller frees.
template <typename T>
using XcbPtr = std::unique_ptr<T, XcbFree>;

// How an X error caused by one request is judged.
enum class X11ErrorTolerance {
    // Every error is unexpected: logged with its request, fatal in the test mode.
    none,
    // The request names another client's window, which may be destroyed at any moment: BadWindow,
    // BadMatch and BadDrawable are expected and ignored (the call gives an absent result).
    windowMayVanish,
    // The request names a RandR output, which goes away when a monitor is unplugged: RandR's
    // BadOutput and BadCrtc are expected.
    outputMayVanish,
    // A passive key grab: BadAccess means another client holds the combination, an answer rather
    // than a fault.
    keyMayBeGrabbed,
    // The request names an input device, which goes away when it is unplugged: XInput's BadDevice.
    deviceMayVanish,
};

// One connection to the X server, over xcb.
//
// Error policy: every request that can fail is either awaited (its error comes with the reply) or
// sent checked and judged when its answer arrives; nothing goes to a global handler. Expected
// errors (see X11ErrorTolerance) are dropped silently; any other is logged with its request, and
// in the test mode (TESSARY_X_ERRORS_FATAL=1 in the environment) ends the process, so that tests
// catch every request the back end gets wrong.
//
// Events: the connection reads events into its own queue and hands them to the registered
// handlers from processPendingEvents(), which the single-threaded main loop calls when the file
// descriptor is readable and before it goes to sleep (xcb may have read events off the socket
// while waiting for a reply). A synchronous wait (waitForEvent) never dispatches: the events it
// reads stay queued, so no handler runs in the middle of another operation.
class X11Connection {
public:
    using EventHandler = std::function<void(const xcb_generic_event_t&)>;
    using Clock = std::chrono::steady_clock;

    // Connects to the display (null: $DISPLAY); null when no X server can be reached.
    static std::unique_ptr<X11Connection> open(const char* displayName = nullptr);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* xcb() const { return connection_; }
    const xcb_screen_t& screen() const { return *screen_; }
    xcb_window_t root() const { return screen_->root; }
    const X11Atoms& atoms() const { return atoms_; }
    // The server went away or the stream broke; every later request gives nothing.
    bool hasFailed() const;

    // RandR 1.5 (monitors) is available; its first event code.
    bool hasRandrMonitors() const { return randrMonitors_; }
    uint8_t randrFirstEvent() const { return randrFirstEvent_; }
    bool hasResourceExtension() const { return resourceExtension_; }

    const Logger& log() const { return log_; }

    // --- Main loop -------------------------------------------------------------------------------
    int fileDescriptor() const;
    // What processPendingEvents takes from the socket. The main loop reads it when the descriptor is
    // readable; before it sleeps it takes only what xcb read while waiting for a reply, since what
    // is still in the socket wakes it at once anyway (a read that finds nothing costs a system call
    // on every pointer notice).
    enum class Read { socket, queuedOnly };
    // Reads what the server has sent (one read: what comes after it, or did not fit, keeps the
    // descriptor readable) and dispatches every queued event to the handlers, in order, together
    // with the errors of checked requests. Not reentrant: a handler that calls it returns at once
    // and its events are dispatched by the outer call.
    void processPendingEvents(Read read = Read::socket);
    // Adds to the events this connection selects on the root window (the selections of every
    // component are kept together: selecting replaces what was selected before).
    void selectRootEvents(uint32_t mask);

    // Every event but the XGE ones (response type 35: XInput 2's, a raw motion with every pointer
    // move) goes to the event handlers; those go only to the generic-event handlers, so that a
    // pointer notice reaches the one component that reads it. Either kind is removed by its id.
    int addEventHandler(EventHandler handler);
    int addGenericEventHandler(EventHandler handler);
    void removeEventHandler(int id);
    // Called once at the end of every processPendingEvents call that dispatched something, so that
    // a burst of events becomes one notice.
    int addBatchEndHandler(std::function<void()> handler);

    // Moves what xcb has already read into the queue and returns a mark: events read after it are
    // newer than every request sent after it.
    uint64_t eventMark();
    // Blocks until an event read after `since` matches, or the deadline passes. Matching and other
    // events stay queued for processPendingEvents.
    bool waitForEvent(uint64_t since, const std::function<bool(const xcb_generic_event_t&)>& matches,
                      Clock::time_point deadline);

    // --- Requests --------------------------------------------------------------------------------
    // Waits for a reply; an error is judged by `tolerance` and gives null.
    template <typename Reply, typename Cookie>
    XcbPtr<Reply> reply(Reply* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                        Cookie cookie, const char* request,
                        X11ErrorTolerance tolerance = X11ErrorTolerance::none) {
        xcb_generic_error_t* error = nullptr;
        XcbPtr<Reply> result(fetch(connection_, cookie, &error));
        if (error) {
            XcbPtr<xcb_generic_error_t> owned(error);
            judgeError(*error, request, tolerance);
            result.reset();
        }
        return result;
    }

    // A request sent with its _checked variant: its error, if any, is judged when the answer
    // arrives, without a round trip of its own.
    void checkLater(xcb_void_cookie_t cookie, const char* request, X11ErrorTolerance tolerance);
    // Waits for the answer of a checked request; true when it succeeded.
    bool checkNow(xcb_void_cookie_t cookie, const char* request, X11ErrorTolerance tolerance);

    void flush();

    // How many requests this connection has sent so far, every component's together, for counting
    // what a path costs. Asking sends a NoOperation request (no reply, no round trip), which is not
    // counted.
    uint64_t requestCount();

    // Judges one error; true when it was expected. Unexpected errors are logged and, in the test
    // mode, end the process.
    bool judgeError(const xcb_generic_error_t& error, const char* request, X11ErrorTolerance tolerance);
    bool errorsAreFatal() const { return errorsAreFatal_; }
    uint64_t unexpectedErrorCount() const { return unexpectedErrors_; }
    uint64_t expectedErrorCount() const { return expectedErrors_; }

private:
    X11Connection(xcb_connection_t* connection, xcb_screen_t* screen);

    struct PendingCheck {
        const char* request;
        X11ErrorTolerance tolerance;
    };
    struct QueuedEvent {
        uint64_t index;
        XcbPtr<xcb_generic_event_t> event;
    };

    // Moves xcb's events into the queue, reading the socket as `read` says: not at all, once xcb's
    // own queue is empty, or until it is dry (for a mark that must follow everything already sent).
    enum class Drain { queued, oneRead, untilDry };
    void drainXcb(Drain read);
    void collectChecks();
    void dispatch(const xcb_generic_event_t& event);
    void reportFailureOnce();

    xcb_connection_t* connection_;
    xcb_screen_t* screen_;
    Logger log_{"X11"};
    X11Atoms atoms_;
    bool errorsAreFatal_ = false;
    bool randrMonitors_ = false;
    uint8_t randrFirstEvent_ = 0;
    uint8_t randrFirstError_ = 0;
    bool resourceExtension_ = false;

    std::deque<QueuedEvent> queue_;
    uint64_t eventsRead_ = 0;
    std::map<uint32_t, PendingCheck> pendingChecks_;
    HandlerList<const xcb_generic_event_t&> handlers_;
    HandlerList<const xcb_generic_event_t&> genericHandlers_;
    HandlerList<> batchEndHandlers_;
    int nextHandlerId_ = 1;
    bool dispatching_ = false;
    bool reportedFailure_ = false;
    uint32_t rootEventMask_ = 0;
    uint64_t unexpectedErrors_ = 0;
    uint64_t expectedErrors_ = 0;
    uint64_t countingRequests_ = 0;
};

// The name of a core or known extension error code, for log lines.
std::string x11ErrorName(uint8_t code);
bool isWindowVanishedError(uint8_t code);

// A message about `window` for the window manager (EWMH root window messages): format 32, sent to
// the root with `rootMessageMask`, the mask the window manager selects there.
xcb_client_message_event_t rootWindowMessage(xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5]);
constexpr uint32_t rootMessageMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;

}  // namespace tessary
