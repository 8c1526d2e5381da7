#pragma once

#include "Platform/X11/X11Connection.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace tessary {

// One window property as the server returned it. A property that does not exist (or has another
// type than asked for) is a value too: exists() is false and it holds nothing.
class X11Property {
public:
    // Longest value read, in 32-bit units: a client cannot make the back end copy megabytes.
    static constexpr uint32_t kMaximumLength = 65536;

    static xcb_get_property_cookie_t request(X11Connection& connection, xcb_window_t window,
                                             xcb_atom_t property, xcb_atom_t type,
                                             uint32_t maximumLength = kMaximumLength);
    // nullopt when the request failed (the window is gone, with the windowMayVanish tolerance).
    static std::optional<X11Property> fetch(X11Connection& connection, xcb_get_property_cookie_t cookie,
                                            X11ErrorTolerance tolerance);
    static std::optional<X11Property> read(X11Connection& connection, xcb_window_t window,
                                           xcb_atom_t property, xcb_atom_t type,
                                           X11ErrorTolerance tolerance,
                                           uint32_t maximumLength = kMaximumLength);

    bool exists() const;
    xcb_atom_t type() const;
    uint8_t format() const;
    const uint8_t* bytes() const;
    size_t byteLength() const;
    // The 32-bit items (CARDINAL, ATOM, WINDOW); empty unless the format is 32.
    std::vector<uint32_t> cardinals() const;

private:
    explicit X11Property(XcbPtr<xcb_get_property_reply_t> reply) : reply_(std::move(reply)) {}
    XcbPtr<xcb_get_property_reply_t> reply_;
};

}  // namespace tessary
