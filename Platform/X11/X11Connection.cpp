#include "Platform/X11/X11Connection.h"

#include <xcb/randr.h>
#include <xcb/xcbext.h>
#include <xcb/res.h>
#include <xcb/xinput.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tessary {

namespace {

constexpr uint8_t kBadWindow = 3;
constexpr uint8_t kBadMatch = 8;
constexpr uint8_t kBadDrawable = 9;
constexpr uint8_t kBadAccess = 10;

bool environmentAsksForFatalErrors() {
    const char* value = std::getenv("TESSARY_X_ERRORS_FATAL");
    return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace

bool isWindowVanishedError(uint8_t code) {
    return code == kBadWindow || code == kBadMatch || code == kBadDrawable;
}

std::string x11ErrorName(uint8_t code) {
    static const char* const names[] = {
        nullptr,        "BadRequest",  "BadValue",  "BadWindow",         "BadPixmap",
        "BadAtom",      "BadCursor",   "BadFont",   "BadMatch",          "BadDrawable",
        "BadAccess",    "BadAlloc",    "BadColor",  "BadGC",             "BadIDChoice",
        "BadName",      "BadLength",   "BadImplementation",
    };
    if (code > 0 && code < std::size(names)) {
        return names[code];
    }
    return "error " + std::to_string(code);
}

std::unique_ptr<X11Connection> X11Connection::open(const char* displayName) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(displayName, &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) {
            xcb_disconnect(connection);
        }
        return nullptr;
    }
    xcb_screen_t* screen = nullptr;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem; ++i, xcb_screen_next(&it)) {
        if (i == screenNumber) {
            screen = it.data;
            break;
        }
    }
    if (!screen) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(connection, screen));
}

X11Connection::X11Connection(xcb_connection_t* connection, xcb_screen_t* screen)
    : connection_(connection), screen_(screen), errorsAreFatal_(environmentAsksForFatalErrors()) {
    // Extension presence is cached by xcb; ask for both at once.
    xcb_prefetch_extension_data(connection_, &xcb_randr_id);
    xcb_prefetch_extension_data(connection_, &xcb_res_id);
    atoms_ = X11Atoms::intern(*this);

    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection_, &xcb_randr_id);
    if (randr && randr->present) {
        auto version = reply(xcb_randr_query_version_reply,
                             xcb_randr_query_version(connection_, 1, 5), "RandR QueryVersion");
        if (version && (version->major_version > 1 ||
                        (version->major_version == 1 && version->minor_version >= 5))) {
            randrMonitors_ = true;
            randrFirstEvent_ = randr->first_event;
            randrFirstError_ = randr->first_error;
        }
    }
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(connection_, &xcb_res_id);
    if (res && res->present) {
        auto version = reply(xcb_res_query_version_reply, xcb_res_query_version(connection_, 1, 2),
                             "X-Resource QueryVersion");
        resourceExtension_ = version && (version->server_major > 1 ||
                                         (version->server_major == 1 && version->server_minor >= 2));
    }
}

X11Connection::~X11Connection() {
    xcb_disconnect(connection_);
}

bool X11Connection::hasFailed() const {
    return xcb_connection_has_error(connection_) != 0;
}

int X11Connection::fileDescriptor() const {
    return xcb_get_file_descriptor(connection_);
}

void X11Connection::selectRootEvents(uint32_t mask) {
    if ((rootEventMask_ | mask) == rootEventMask_) {
        return;
    }
    rootEventMask_ |= mask;
    checkLater(xcb_change_window_attributes_checked(connection_, root(), XCB_CW_EVENT_MASK, &rootEventMask_),
               "ChangeWindowAttributes", X11ErrorTolerance::none);
    flush();
}

int X11Connection::addEventHandler(EventHandler handler) {
    int id = nextHandlerId_++;
    handlers_.add(id, std::move(handler));
    return id;
}

int X11Connection::addGenericEventHandler(EventHandler handler) {
    int id = nextHandlerId_++;
    genericHandlers_.add(id, std::move(handler));
    return id;
}

void X11Connection::removeEventHandler(int id) {
    if (!handlers_.remove(id) && !genericHandlers_.remove(id)) batchEndHandlers_.remove(id);
}

int X11Connection::addBatchEndHandler(std::function<void()> handler) {
    int id = nextHandlerId_++;
    batchEndHandlers_.add(id, std::move(handler));
    return id;
}

void X11Connection::flush() {
    xcb_flush(connection_);
}

uint64_t X11Connection::requestCount() {
    // The sequence number of a request is the number of requests sent before it, plus one.
    const uint32_t sequence = xcb_no_operation(connection_).sequence;
    ++countingRequests_;
    return uint64_t(sequence) - countingRequests_;
}

void X11Connection::drainXcb(Drain read) {
    // xcb_poll_for_event reads the socket only when xcb's queue is empty, so after the last event
    // it reads once more and finds nothing: only the untilDry mode pays for that. The oneRead mode
    // asks it first (what xcb holds, or one read) and then takes only what that read brought.
    bool mayRead = read == Drain::oneRead;
    for (;;) {
        xcb_generic_event_t* event = read == Drain::untilDry || std::exchange(mayRead, false)
                                         ? xcb_poll_for_event(connection_)
                                         : xcb_poll_for_queued_event(connection_);
        if (!event) {
            return;
        }
        queue_.push_back(QueuedEvent{eventsRead_++, XcbPtr<xcb_generic_event_t>(event)});
    }
}

uint64_t X11Connection::eventMark() {
    drainXcb(Drain::untilDry);
    return eventsRead_;
}

bool X11Connection::waitForEvent(uint64_t since,
                                 const std::function<bool(const xcb_generic_event_t&)>& matches,
                                 Clock::time_point deadline) {
    flush();
    size_t scanned = 0;
    for (;;) {
        drainXcb(Drain::untilDry);
        for (; scanned < queue_.size(); ++scanned) {
            const QueuedEvent& entry = queue_[scanned];
            if (entry.index >= since && matches(*entry.event)) {
                return true;
            }
        }
        if (hasFailed()) {
            return false;
        }
        auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd descriptor{fileDescriptor(), POLLIN, 0};
        int ready = ::poll(&descriptor, 1, static_cast<int>(std::min<long long>(remaining, 60'000)));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

void X11Connection::checkLater(xcb_void_cookie_t cookie, const char* request,
                               X11ErrorTolerance tolerance) {
    pendingChecks_[cookie.sequence] = PendingCheck{request, tolerance};
}

bool X11Connection::checkNow(xcb_void_cookie_t cookie, const char* request,
                             X11ErrorTolerance tolerance) {
    XcbPtr<xcb_generic_error_t> error(xcb_request_check(connection_, cookie));
    if (error) {
        judgeError(*error, request, tolerance);
        return false;
    }
    return !hasFailed();
}

void X11Connection::collectChecks() {
    for (auto it = pendingChecks_.begin(); it != pendingChecks_.end();) {
        void* replyData = nullptr;
        xcb_generic_error_t* error = nullptr;
        // Non-blocking: answers only once a later reply or event has passed the request.
        if (!xcb_poll_for_reply(connection_, it->first, &replyData, &error)) {
            if (hasFailed()) {
                it = pendingChecks_.erase(it);
                continue;
            }
            ++it;
            continue;
        }
        std::free(replyData);
        PendingCheck check = it->second;
        it = pendingChecks_.erase(it);
        if (error) {
            XcbPtr<xcb_generic_error_t> owned(error);
            judgeError(*error, check.request, check.tolerance);
        }
    }
}

bool X11Connection::judgeError(const xcb_generic_error_t& error, const char* request,
                               X11ErrorTolerance tolerance) {
    bool expected = false;
    switch (tolerance) {
    case X11ErrorTolerance::none:
        break;
    case X11ErrorTolerance::windowMayVanish:
        expected = isWindowVanishedError(error.error_code);
        break;
    case X11ErrorTolerance::outputMayVanish:
        // BadOutput and BadCrtc, the first two RandR errors.
        expected = randrMonitors_ && (error.error_code == randrFirstError_ + XCB_RANDR_BAD_OUTPUT ||
                                      error.error_code == randrFirstError_ + XCB_RANDR_BAD_CRTC);
        break;
    case X11ErrorTolerance::keyMayBeGrabbed:
        expected = error.error_code == kBadAccess;
        break;
    case X11ErrorTolerance::deviceMayVanish: {
        const xcb_query_extension_reply_t* input = xcb_get_extension_data(connection_, &xcb_input_id);
        expected = input && input->present && error.error_code == input->first_error + XCB_INPUT_DEVICE;
        break;
    }
    }
    if (expected) {
        ++expectedErrors_;
        return true;
    }
    ++unexpectedErrors_;
    char line[256];
    std::snprintf(line, sizeof line,
                  "X error %s from %s (major %u, minor %u), resource 0x%x, sequence %u",
                  x11ErrorName(error.error_code).c_str(), request ? request : "an unchecked request",
                  unsigned(error.major_code), unsigned(error.minor_code), unsigned(error.resource_id),
                  unsigned(error.full_sequence));
    log_.error(line);
    if (errorsAreFatal_) {
        std::fprintf(stderr, "%s\nTESSARY_X_ERRORS_FATAL is set: stopping\n", line);
        std::abort();
    }
    return false;
}

void X11Connection::dispatch(const xcb_generic_event_t& event) {
    if (event.response_type == 0) {
        // Only requests sent unchecked land here; none of ours are, so this is never expected.
        judgeError(reinterpret_cast<const xcb_generic_error_t&>(event), nullptr,
                   X11ErrorTolerance::none);
        return;
    }
    // Every event passes here: the walk copies nothing, and handlers may still add or remove
    // handlers (their own included).
    if ((event.response_type & 0x7f) == XCB_GE_GENERIC) {
        genericHandlers_.call(event);
    } else {
        handlers_.call(event);
    }
}

void X11Connection::processPendingEvents(Read read) {
    if (dispatching_) {
        return;
    }
    // The pass before the loop sleeps finds nothing as a rule (the pass of the socket left xcb's
    // queue empty; only a reply waited for since then fills it): one look at xcb's queue and the
    // flush, not a second drain on every pointer notice.
    if (read == Read::queuedOnly && queue_.empty()) {
        xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_);
        if (!event) {
            flush();
            reportFailureOnce();
            return;
        }
        queue_.push_back(QueuedEvent{eventsRead_++, XcbPtr<xcb_generic_event_t>(event)});
    }
    dispatching_ = true;
    bool dispatched = false;
    // The socket is read once per call at most: a read that finds nothing costs a system call, and
    // what the server sends after it wakes the main loop again (which also calls this before it
    // sleeps). Events read while a handler waited for a reply are in xcb's queue and are taken below.
    bool readSocket = read == Read::socket;
    for (;;) {
        drainXcb(std::exchange(readSocket, false) ? Drain::oneRead : Drain::queued);
        collectChecks();
        if (queue_.empty()) {
            if (!dispatched) {
                break;
            }
            dispatched = false;
            // End of a burst; the handlers may make requests that bring more events, and may remove
            // handlers (their own included).
            batchEndHandlers_.call();
            continue;
        }
        QueuedEvent entry = std::move(queue_.front());
        queue_.pop_front();
        dispatch(*entry.event);
        dispatched = true;
    }
    flush();
    dispatching_ = false;
    reportFailureOnce();
}

void X11Connection::reportFailureOnce() {
    if (hasFailed() && !reportedFailure_) {
        reportedFailure_ = true;
        log_.error("the connection to the X server is broken");
    }
}

xcb_client_message_event_t rootWindowMessage(xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5]) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::memcpy(message.data.data32, data, sizeof data);
    return message;
}

}  // namespace tessary
