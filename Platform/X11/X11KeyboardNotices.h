#pragma once

// The XKB notices that tell a reader of the keyboard mapping to read it again. A connection that
// initialised XKB (xkbcommon-x11 does, and with it every component on that connection) gets no core
// MappingNotify when the layout is switched with setxkbmap: only these notices tell.

#include "Platform/X11/X11Connection.h"

#include <cstdint>

namespace tessary {

class X11KeyboardNotices {
public:
    // Initialises XKB on the connection and selects the new-keyboard, map and state notices of the
    // core keyboard, adding to what other components selected. Absent when the server has no XKB.
    explicit X11KeyboardNotices(X11Connection& connection);

    bool isAvailable() const { return firstEvent_ != 0; }
    // A new keyboard or a new mapping: the key codes, symbols or modifier map may have changed.
    bool isMappingChange(const xcb_generic_event_t& event) const;
    // The locked, latched or base group (the active layout) changed.
    bool isGroupChange(const xcb_generic_event_t& event) const;

private:
    std::uint8_t xkbType(const xcb_generic_event_t& event) const;
    std::uint8_t firstEvent_ = 0;
};

}  // namespace tessary
