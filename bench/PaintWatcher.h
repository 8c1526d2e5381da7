#pragma once

// What another X connection sees of a program's window opening: the window made, mapped and drawn
// whole, through the X DAMAGE extension's notices of drawing into it.

#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

namespace tessary::bench {

// The DAMAGE extension spoken directly (this machine has its library but not its header): the
// version handshake, and a damage object that reports every rectangle drawn.
inline xcb_extension_t damageExtension = {"DAMAGE", 0};

template <typename Request>
unsigned sendDamageRequest(xcb_connection_t* c, std::uint8_t minor, Request& body, bool hasReply) {
    struct iovec parts[4];
    const xcb_protocol_request_t request = {1, &damageExtension, minor, std::uint8_t(hasReply ? 0 : 1)};
    parts[2].iov_base = &body;
    parts[2].iov_len = sizeof body;
    parts[3].iov_base = nullptr;
    parts[3].iov_len = 0;
    return xcb_send_request(c, hasReply ? XCB_REQUEST_CHECKED : 0, parts + 2, &request);
}

struct DamageQueryVersion {
    std::uint8_t major, minor;
    std::uint16_t length;
    std::uint32_t clientMajor = 1, clientMinor = 1;
};
struct DamageCreate {
    std::uint8_t major, minor;
    std::uint16_t length;
    std::uint32_t damage, drawable;
    std::uint8_t level, pad[3];
};
struct DamageNotify {
    std::uint8_t type, level;
    std::uint16_t sequence;
    std::uint32_t drawable, damage, timestamp;
    std::int16_t x, y;
    std::uint16_t width, height;
    std::int16_t gx, gy;
    std::uint16_t gwidth, gheight;
};
constexpr std::uint8_t kRawRectangles = 0;

// A connection of its own that sees the windows of one size made, mapped and drawn into.
class PaintWatcher {
public:
    using Clock = std::chrono::steady_clock;

    // Watches the windows of `width` x `height` that are made from now on.
    PaintWatcher(const std::string& display, int width, int height)
        : c_(xcb_connect(display.c_str(), nullptr)), width_(width), height_(height) {
        if (xcb_connection_has_error(c_)) throw std::runtime_error("cannot watch the desktop");
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c_, &damageExtension);
        if (!damage || !damage->present) throw std::runtime_error("the X server has no DAMAGE");
        damageEvent_ = damage->first_event;
        DamageQueryVersion version{};
        const unsigned sequence = sendDamageRequest(c_, 0, version, true);
        xcb_generic_error_t* error = nullptr;
        std::free(xcb_wait_for_reply(c_, sequence, &error));
        std::free(error);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root, XCB_CW_EVENT_MASK, &mask);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~PaintWatcher() { xcb_disconnect(c_); }

    void drain() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) handle(event, Clock::now());
    }

    struct Opening {
        xcb_window_t window = 0;
        double mapped = 0, painted = 0;  // milliseconds after the request
    };
    // Waits for a watched window to be mapped and drawn whole; nothing at the deadline. `whole` is
    // false when the window was already on screen before the damage object saw it.
    std::optional<Opening> awaitOpening(Clock::time_point requested, Clock::time_point deadline, bool& whole) {
        for (;;) {
            if (mapped_) {
                const Watched& watched = windows_[*mapped_];
                if (watched.painted.coveredAt || watched.missedStart) {
                    const auto since = [&](Clock::time_point at) {
                        return std::chrono::duration<double, std::milli>(at - requested).count();
                    };
                    whole = !watched.missedStart;
                    return Opening{*mapped_, since(mappedAt_), whole ? since(*watched.painted.coveredAt) : 0};
                }
            }
            xcb_generic_event_t* event = next(deadline);
            if (!event) return std::nullopt;
            handle(event, Clock::now());
        }
    }
    // Forgets the last map and what was drawn, before the next request.
    void reset() {
        mapped_.reset();
        for (auto& [window, watched] : windows_) watched.painted = {};
    }
    bool awaitUnmapped(xcb_window_t window, Clock::time_point deadline) {
        while (windows_.count(window) && windows_[window].viewable) {
            xcb_generic_event_t* event = next(deadline);
            if (!event) return false;
            handle(event, Clock::now());
        }
        return true;
    }

private:
    struct Painted {
        // The bounding box of what was drawn since the map.
        int left = std::numeric_limits<int>::max(), top = std::numeric_limits<int>::max(), right = 0, bottom = 0;
        std::optional<Clock::time_point> coveredAt;
    };
    struct Watched {
        bool viewable = false;
        bool missedStart = false;
        Painted painted;
    };

    void watch(xcb_window_t window) {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, window, XCB_CW_EVENT_MASK, &mask);
        DamageCreate create{};
        create.length = 4;
        create.damage = xcb_generate_id(c_);
        create.drawable = window;
        create.level = kRawRectangles;
        sendDamageRequest(c_, 1, create, false);
        // Made before the window manager could map it, or the opening is not seen whole.
        auto* attributes = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, window), nullptr);
        Watched& watched = windows_[window];
        watched.viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        if (watched.viewable) {
            watched.missedStart = true;
            mapped_ = window;
            mappedAt_ = Clock::now();
        }
        std::free(attributes);
    }

    void handle(xcb_generic_event_t* event, Clock::time_point at) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if (!created->override_redirect && created->width == width_ && created->height == height_) {
                watch(created->window);
            }
        } else if (type == XCB_MAP_NOTIFY) {
            auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (windows_.count(map->window) && map->event == map->window) {
                windows_[map->window].viewable = true;
                windows_[map->window].missedStart = false;
                windows_[map->window].painted = {};
                mapped_ = map->window;
                mappedAt_ = at;
            }
        } else if (type == XCB_UNMAP_NOTIFY) {
            auto* unmap = reinterpret_cast<xcb_unmap_notify_event_t*>(event);
            if (windows_.count(unmap->window) && unmap->event == unmap->window) windows_[unmap->window].viewable = false;
        } else if (type == XCB_DESTROY_NOTIFY) {
            auto* destroyed = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
            if (destroyed->event == destroyed->window) windows_.erase(destroyed->window);
        } else if (type == damageEvent_) {
            auto* damage = reinterpret_cast<DamageNotify*>(event);
            const auto found = windows_.find(damage->drawable);
            if (found != windows_.end() && found->second.viewable) {
                Painted& painted = found->second.painted;
                painted.left = std::min<int>(painted.left, damage->x);
                painted.top = std::min<int>(painted.top, damage->y);
                painted.right = std::max<int>(painted.right, damage->x + damage->width);
                painted.bottom = std::max<int>(painted.bottom, damage->y + damage->height);
                if (!painted.coveredAt && painted.left <= 0 && painted.top <= 0 && painted.right >= width_ &&
                    painted.bottom >= height_) {
                    painted.coveredAt = at;
                }
            }
        }
        std::free(event);
    }

    xcb_generic_event_t* next(Clock::time_point deadline) {
        for (;;) {
            if (xcb_generic_event_t* event = xcb_poll_for_event(c_)) return event;
            if (xcb_connection_has_error(c_)) return nullptr;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return nullptr;
            pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
            ::poll(&fd, 1, int(left));
        }
    }

    xcb_connection_t* c_;
    int width_, height_;
    std::uint8_t damageEvent_ = 0;
    std::map<xcb_window_t, Watched> windows_;
    std::optional<xcb_window_t> mapped_;
    Clock::time_point mappedAt_;
};

}  // namespace tessary::bench
