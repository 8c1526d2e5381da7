#include "Platform/X11/X11Atoms.h"

#include "Platform/X11/X11Connection.h"

#include <cstring>

namespace tessary {

X11Atoms X11Atoms::intern(X11Connection& connection) {
    X11Atoms atoms;
    struct Pending {
        xcb_atom_t* field;
        xcb_intern_atom_cookie_t cookie;
    };
    // Send every request before reading any reply: one round trip for the whole table.
    Pending pending[] = {
#define TESSARY_X11_ATOM_REQUEST(name)                                                             \
    {&atoms.name, xcb_intern_atom(connection.xcb(), 0, std::strlen(#name), #name)},
        TESSARY_X11_ATOMS(TESSARY_X11_ATOM_REQUEST)
#undef TESSARY_X11_ATOM_REQUEST
    };
    for (auto& entry : pending) {
        if (auto reply = connection.reply(xcb_intern_atom_reply, entry.cookie, "InternAtom")) {
            *entry.field = reply->atom;
        }
    }
    return atoms;
}

}  // namespace tessary
