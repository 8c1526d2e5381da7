#include "Platform/X11/X11ClientOrder.h"

#include "Platform/X11/X11Property.h"

#include <unordered_set>

namespace tessary {

std::vector<xcb_window_t> clientsFrontToBack(const std::vector<xcb_window_t>& clientList,
                                             const std::vector<xcb_window_t>& stackingBottomToTop) {
    std::unordered_set<xcb_window_t> pending(clientList.begin(), clientList.end());
    std::vector<xcb_window_t> result;
    result.reserve(pending.size());
    for (auto it = stackingBottomToTop.rbegin(); it != stackingBottomToTop.rend(); ++it) {
        // Erasing also drops a window listed twice.
        if (pending.erase(*it)) result.push_back(*it);
    }
    for (xcb_window_t window : clientList) {
        if (pending.erase(window)) result.push_back(window);
    }
    return result;
}

std::vector<xcb_window_t> readClientsFrontToBack(X11Connection& connection) {
    const X11Atoms& a = connection.atoms();
    auto clients = X11Property::request(connection, connection.root(), a._NET_CLIENT_LIST, XCB_ATOM_WINDOW);
    auto stacking = X11Property::request(connection, connection.root(), a._NET_CLIENT_LIST_STACKING, XCB_ATOM_WINDOW);
    auto clientList = X11Property::fetch(connection, clients, X11ErrorTolerance::none);
    auto stackingList = X11Property::fetch(connection, stacking, X11ErrorTolerance::none);
    if (!clientList) return {};
    return clientsFrontToBack(clientList->cardinals(),
                              stackingList ? stackingList->cardinals() : std::vector<xcb_window_t>{});
}

}  // namespace tessary
