#include "Platform/X11/X11Property.h"

#include <cstring>

namespace tessary {

xcb_get_property_cookie_t X11Property::request(X11Connection& connection, xcb_window_t window,
                                               xcb_atom_t property, xcb_atom_t type,
                                               uint32_t maximumLength) {
    return xcb_get_property(connection.xcb(), 0, window, property, type, 0, maximumLength);
}

std::optional<X11Property> X11Property::fetch(X11Connection& connection, xcb_get_property_cookie_t cookie,
                                              X11ErrorTolerance tolerance) {
    auto reply = connection.reply(xcb_get_property_reply, cookie, "GetProperty", tolerance);
    if (!reply) {
        return std::nullopt;
    }
    return X11Property(std::move(reply));
}

std::optional<X11Property> X11Property::read(X11Connection& connection, xcb_window_t window,
                                             xcb_atom_t property, xcb_atom_t type,
                                             X11ErrorTolerance tolerance, uint32_t maximumLength) {
    return fetch(connection, request(connection, window, property, type, maximumLength), tolerance);
}

bool X11Property::exists() const {
    // A property of another type than the one asked for comes back with its real type, no value
    // and its length still to read; to the caller it is as good as missing. An empty property of
    // the right type exists.
    return reply_->type != XCB_ATOM_NONE &&
           (xcb_get_property_value_length(reply_.get()) > 0 || reply_->bytes_after == 0);
}

xcb_atom_t X11Property::type() const {
    return reply_->type;
}

uint8_t X11Property::format() const {
    return reply_->format;
}

const uint8_t* X11Property::bytes() const {
    return static_cast<const uint8_t*>(xcb_get_property_value(reply_.get()));
}

size_t X11Property::byteLength() const {
    int length = xcb_get_property_value_length(reply_.get());
    return length > 0 ? static_cast<size_t>(length) : 0;
}

std::vector<uint32_t> X11Property::cardinals() const {
    if (!exists() || reply_->format != 32) {
        return {};
    }
    std::vector<uint32_t> items(byteLength() / 4);
    if (!items.empty()) {
        std::memcpy(items.data(), bytes(), items.size() * 4);
    }
    return items;
}

}  // namespace tessary
