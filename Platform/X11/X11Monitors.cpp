#include "Platform/X11/X11Monitors.h"

#include "Platform/X11/NameBasedUUID.h"
#include "Platform/X11/X11Property.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace tessary {

namespace {

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

std::string atomName(X11Connection& connection, xcb_get_atom_name_cookie_t cookie) {
    auto reply = connection.reply(xcb_get_atom_name_reply, cookie, "GetAtomName");
    if (!reply) {
        return {};
    }
    return std::string(xcb_get_atom_name_name(reply.get()),
                       static_cast<size_t>(xcb_get_atom_name_name_length(reply.get())));
}

}  // namespace

// --- EDID ----------------------------------------------------------------------------------------

std::optional<EDIDInfo> EDIDInfo::parse(const std::vector<uint8_t>& bytes) {
    static const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (bytes.size() < 128 || !std::equal(header, header + 8, bytes.begin())) {
        return std::nullopt;
    }
    EDIDInfo info;
    info.vendor = (uint32_t(bytes[8]) << 8) | bytes[9];
    info.model = uint32_t(bytes[10]) | (uint32_t(bytes[11]) << 8);
    info.serial = uint32_t(bytes[12]) | (uint32_t(bytes[13]) << 8) | (uint32_t(bytes[14]) << 16) |
                  (uint32_t(bytes[15]) << 24);
    // Four 18-byte descriptors; a display descriptor starts with three zeros and its tag.
    for (size_t at = 54; at + 18 <= 126; at += 18) {
        if (bytes[at] != 0 || bytes[at + 1] != 0 || bytes[at + 2] != 0 || bytes[at + 3] != 0xFC) {
            continue;
        }
        std::string name;
        for (size_t i = at + 5; i < at + 18 && bytes[i] != 0x0A; ++i) {
            // Code page 437 in theory, printable ASCII in practice; anything else is dropped.
            if (bytes[i] >= 0x20 && bytes[i] < 0x7F) {
                name.push_back(static_cast<char>(bytes[i]));
            }
        }
        while (!name.empty() && name.back() == ' ') {
            name.pop_back();
        }
        if (!name.empty()) {
            info.name = name;
        }
        break;
    }
    return info;
}

// --- Pure assembly -------------------------------------------------------------------------------

std::vector<X11Monitor> assembleMonitors(std::vector<X11MonitorInput> inputs) {
    // The primary monitor first, the others in the server's order.
    std::stable_partition(inputs.begin(), inputs.end(), [](const X11MonitorInput& m) { return m.isPrimary; });
    std::vector<X11Monitor> monitors;
    for (auto& input : inputs) {
        X11Monitor monitor;
        monitor.number = input.number;
        monitor.name = input.name;
        monitor.frame = input.frame;
        monitor.workArea = input.frame;
        monitor.isPrimary = input.isPrimary;
        monitor.isBuiltIn = input.connectorType == "Panel" || startsWithIgnoringCase(input.outputName, "eDP") ||
                            startsWithIgnoringCase(input.outputName, "LVDS") ||
                            startsWithIgnoringCase(input.outputName, "DSI");
        monitor.edidInfo = EDIDInfo::parse(input.edid);
        if (monitor.edidInfo) {
            monitor.edid = std::move(input.edid);
            monitor.uuid = nameBasedUUID(kMonitorUUIDNamespace, monitor.edid.data(), monitor.edid.size());
        }
        monitor.localizedName = monitor.edidInfo && monitor.edidInfo->name ? *monitor.edidInfo->name : monitor.name;
        monitors.push_back(std::move(monitor));
    }
    // Two monitors of one model without serial numbers have the same EDID. Each must still be told
    // apart: all but the first by name get an identifier that also covers the monitor's name.
    std::map<std::string, std::vector<X11Monitor*>> byUUID;
    for (auto& monitor : monitors) {
        if (monitor.uuid) byUUID[*monitor.uuid].push_back(&monitor);
    }
    for (auto& [uuid, group] : byUUID) {
        if (group.size() < 2) continue;
        std::sort(group.begin(), group.end(), [](const X11Monitor* a, const X11Monitor* b) { return a->name < b->name; });
        for (size_t i = 1; i < group.size(); ++i) {
            std::vector<uint8_t> name = group[i]->edid;
            name.insert(name.end(), group[i]->name.begin(), group[i]->name.end());
            group[i]->uuid = nameBasedUUID(kMonitorUUIDNamespace, name.data(), name.size());
        }
    }
    return monitors;
}

Rect workArea(const Rect& monitor, Size rootSize, const std::vector<X11Strut>& struts) {
    double minX = monitor.minX(), maxX = monitor.maxX(), minY = monitor.minY(), maxY = monitor.maxY();
    auto overlaps = [&](double bandMinX, double bandMaxX, double bandMinY, double bandMaxY) {
        return bandMinX < monitor.maxX() && bandMaxX > monitor.minX() && bandMinY < monitor.maxY() &&
               bandMaxY > monitor.minY();
    };
    // Start and end are inclusive pixel coordinates along the edge.
    auto span = [](uint32_t start, uint32_t end) {
        return std::pair<double, double>{double(start), double(end) + 1.0};
    };
    for (const X11Strut& s : struts) {
        if (s.left > 0 && s.leftEndY >= s.leftStartY) {
            auto [from, to] = span(s.leftStartY, s.leftEndY);
            double edge = s.left;
            if (overlaps(0, edge, from, to) && edge < monitor.maxX()) minX = std::max(minX, edge);
        }
        if (s.right > 0 && s.rightEndY >= s.rightStartY) {
            auto [from, to] = span(s.rightStartY, s.rightEndY);
            double edge = rootSize.width - s.right;
            if (overlaps(edge, rootSize.width, from, to) && edge > monitor.minX()) maxX = std::min(maxX, edge);
        }
        if (s.top > 0 && s.topEndX >= s.topStartX) {
            auto [from, to] = span(s.topStartX, s.topEndX);
            double edge = s.top;
            if (overlaps(from, to, 0, edge) && edge < monitor.maxY()) minY = std::max(minY, edge);
        }
        if (s.bottom > 0 && s.bottomEndX >= s.bottomStartX) {
            auto [from, to] = span(s.bottomStartX, s.bottomEndX);
            double edge = rootSize.height - s.bottom;
            if (overlaps(from, to, edge, rootSize.height) && edge > monitor.minY()) maxY = std::min(maxY, edge);
        }
    }
    return Rect(minX, minY, std::max(0.0, maxX - minX), std::max(0.0, maxY - minY));
}

namespace {

// An edge of the root window, and what a strut says of it.
enum class Edge { left, right, top, bottom };
constexpr Edge kEdges[] = {Edge::left, Edge::right, Edge::top, Edge::bottom};

uint32_t depthOn(const X11Strut& strut, Edge edge) {
    switch (edge) {
    case Edge::left: return strut.left;
    case Edge::right: return strut.right;
    case Edge::top: return strut.top;
    case Edge::bottom: return strut.bottom;
    }
    return 0;
}

// A strut of `depth` along the edge, over the pixels from `start` to `end` (inclusive) along it.
X11Strut strutOn(Edge edge, uint32_t depth, uint32_t start, uint32_t end) {
    X11Strut s;
    switch (edge) {
    case Edge::left: s.left = depth, s.leftStartY = start, s.leftEndY = end; break;
    case Edge::right: s.right = depth, s.rightStartY = start, s.rightEndY = end; break;
    case Edge::top: s.top = depth, s.topStartX = start, s.topEndX = end; break;
    case Edge::bottom: s.bottom = depth, s.bottomStartX = start, s.bottomEndX = end; break;
    }
    return s;
}

// How deep the band along the edge is that the announced area leaves out (0 for none).
double insetOn(Edge edge, const Rect& announced, Size root) {
    switch (edge) {
    case Edge::left: return announced.minX();
    case Edge::right: return root.width - announced.maxX();
    case Edge::top: return announced.minY();
    case Edge::bottom: return root.height - announced.maxY();
    }
    return 0;
}

// How far a window reaches into the screen from the edge, when it lies in the band of that depth
// against it; 0 when it does not.
double panelDepth(const Rect& panel, Edge edge, double inset, Size root) {
    if (panel.width() <= 0 || panel.height() <= 0) return 0;
    switch (edge) {
    case Edge::left: return panel.minX() <= 0 && panel.maxX() <= inset ? panel.maxX() : 0;
    case Edge::right: return panel.maxX() >= root.width && panel.minX() >= root.width - inset ? root.width - panel.minX() : 0;
    case Edge::top: return panel.minY() <= 0 && panel.maxY() <= inset ? panel.maxY() : 0;
    case Edge::bottom:
        return panel.maxY() >= root.height && panel.minY() >= root.height - inset ? root.height - panel.minY() : 0;
    }
    return 0;
}

uint32_t pixel(double value) { return static_cast<uint32_t>(std::clamp(std::lround(value), 0L, 0xFFFFL)); }

}  // namespace

bool liesInAnnouncedBand(const Rect& window, const Rect& announced, Size rootSize) {
    if (!(announced.width() > 0 && announced.height() > 0)) return false;
    return std::any_of(std::begin(kEdges), std::end(kEdges), [&](Edge edge) {
        return panelDepth(window, edge, insetOn(edge, announced, rootSize), rootSize) > 0;
    });
}

std::vector<X11Strut> windowManagerStruts(const Rect& announced, Size rootSize,
                                          const std::vector<X11Strut>& clientStruts, const std::vector<Rect>& panels) {
    std::vector<X11Strut> result;
    // Nothing, or nonsense, announced: the clients' struts say it all.
    if (!(announced.width() > 0 && announced.height() > 0)) return result;
    for (Edge edge : kEdges) {
        const bool horizontal = edge == Edge::top || edge == Edge::bottom;
        const double length = horizontal ? rootSize.width : rootSize.height;
        const double inset = insetOn(edge, announced, rootSize);
        if (!(inset >= 1) || inset >= (horizontal ? rootSize.height : rootSize.width)) continue;
        double explained = 0;
        for (const X11Strut& strut : clientStruts) explained = std::max(explained, double(depthOn(strut, edge)));
        struct Reserved {
            double depth, from, to;
        };
        std::vector<Reserved> reserved;
        for (const Rect& panel : panels) {
            const double depth = panelDepth(panel, edge, inset, rootSize);
            const double from = std::max(0.0, horizontal ? panel.minX() : panel.minY());
            const double to = std::min(length, horizontal ? panel.maxX() : panel.maxY());
            if (depth <= 0 || to <= from) continue;
            reserved.push_back({depth, from, to});
            explained = std::max(explained, depth);
        }
        if (explained < inset) {
            // The panels say where, the window manager how deep; without a panel, the whole edge.
            if (reserved.empty()) reserved.push_back({inset, 0, length});
            for (Reserved& band : reserved) band.depth = inset;
        }
        for (const Reserved& band : reserved) {
            result.push_back(strutOn(edge, pixel(band.depth), pixel(band.from), pixel(band.to) - 1));
        }
    }
    return result;
}

// --- X11 -----------------------------------------------------------------------------------------

X11Monitors::X11Monitors(X11Connection& connection, X11Windows& windows)
    : connection_(connection), windows_(windows) {}

void X11Monitors::selectChangeEvents() {
    connection_.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    if (connection_.hasRandrMonitors()) {
        connection_.checkLater(
            xcb_randr_select_input_checked(connection_.xcb(), connection_.root(),
                                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                               XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                                               XCB_RANDR_NOTIFY_MASK_OUTPUT_PROPERTY),
            "RandR SelectInput", X11ErrorTolerance::none);
        connection_.flush();
    }
}

bool X11Monitors::isChangeEvent(const xcb_generic_event_t& event) const {
    uint8_t type = event.response_type & 0x7f;
    if (connection_.hasRandrMonitors() &&
        (type == connection_.randrFirstEvent() + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
         type == connection_.randrFirstEvent() + XCB_RANDR_NOTIFY)) {
        return true;
    }
    if (type == XCB_CONFIGURE_NOTIFY) {
        // The root window changes size with the screen.
        const xcb_window_t window = reinterpret_cast<const xcb_configure_notify_event_t&>(event).window;
        return window == connection_.root() || panels_.count(window) > 0;
    }
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        const X11Atoms& a = connection_.atoms();
        if (change.atom == a._NET_WM_STRUT || change.atom == a._NET_WM_STRUT_PARTIAL) {
            return true;
        }
        // A dock that comes or goes; the window manager's own idea of the work area, on this
        // desktop; and a window manager that comes.
        return change.window == connection_.root() &&
               (change.atom == a._NET_CLIENT_LIST || change.atom == a._NET_WORKAREA ||
                change.atom == a._NET_CURRENT_DESKTOP || change.atom == a._NET_SUPPORTING_WM_CHECK);
    }
    // One of the window manager's panels that moved, or went (with the window manager, perhaps).
    if (type == XCB_UNMAP_NOTIFY) {
        return panels_.count(reinterpret_cast<const xcb_unmap_notify_event_t&>(event).window) > 0;
    }
    if (type == XCB_DESTROY_NOTIFY) {
        return panels_.count(reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window) > 0;
    }
    return false;
}

std::vector<X11Strut> X11Monitors::struts() {
    std::vector<X11Strut> result;
    auto clients = windows_.clientList();
    // Both properties of every client first, then the replies: one round trip.
    const X11Atoms& a = connection_.atoms();
    std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
    for (xcb_window_t client : clients) {
        cookies.emplace_back(X11Property::request(connection_, client, a._NET_WM_STRUT_PARTIAL, XCB_ATOM_CARDINAL, 12),
                             X11Property::request(connection_, client, a._NET_WM_STRUT, XCB_ATOM_CARDINAL, 4));
    }
    for (auto& [partialCookie, plainCookie] : cookies) {
        auto partial = X11Property::fetch(connection_, partialCookie, X11ErrorTolerance::windowMayVanish);
        auto plain = X11Property::fetch(connection_, plainCookie, X11ErrorTolerance::windowMayVanish);
        if (!partial || !plain) continue;
        auto p = partial->cardinals();
        auto q = plain->cardinals();
        if (p.size() >= 12) {
            result.push_back(X11Strut{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11]});
        } else if (q.size() >= 4) {
            // The older form reserves whole edges.
            uint32_t big = 0xFFFF;
            result.push_back(X11Strut{q[0], q[1], q[2], q[3], 0, big, 0, big, 0, big, 0, big});
        }
    }
    return result;
}

std::vector<X11MonitorInput> X11Monitors::readInputs(Size rootSize) {
    std::vector<X11MonitorInput> inputs;
    if (!connection_.hasRandrMonitors()) {
        X11MonitorInput whole;
        whole.name = "screen";
        whole.frame = Rect(0, 0, rootSize.width, rootSize.height);
        whole.isPrimary = true;
        inputs.push_back(whole);
        return inputs;
    }
    xcb_connection_t* c = connection_.xcb();
    auto monitors = connection_.reply(xcb_randr_get_monitors_reply,
                                      xcb_randr_get_monitors(c, connection_.root(), 1), "RandR GetMonitors");
    if (!monitors) {
        return inputs;
    }
    struct Pending {
        X11MonitorInput input;
        xcb_get_atom_name_cookie_t name;
        std::optional<xcb_randr_output_t> output;
        xcb_randr_get_output_info_cookie_t info{};
        xcb_randr_get_output_property_cookie_t edid{};
        xcb_randr_get_output_property_cookie_t connector{};
    };
    std::vector<Pending> pending;
    const X11Atoms& a = connection_.atoms();
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* info = it.data;
        Pending entry;
        entry.input.number = info->name;
        entry.input.frame = Rect(info->x, info->y, info->width, info->height);
        entry.input.isPrimary = info->primary != 0;
        entry.name = xcb_get_atom_name(c, info->name);
        if (xcb_randr_monitor_info_outputs_length(info) > 0) {
            xcb_randr_output_t output = xcb_randr_monitor_info_outputs(info)[0];
            entry.output = output;
            entry.info = xcb_randr_get_output_info(c, output, XCB_CURRENT_TIME);
            // 128 long words: the base block and up to three extensions.
            entry.edid = xcb_randr_get_output_property(c, output, a.EDID, XCB_ATOM_ANY, 0, 128, 0, 0);
            entry.connector = xcb_randr_get_output_property(c, output, a.ConnectorType, XCB_ATOM_ANY, 0, 1, 0, 0);
        }
        pending.push_back(std::move(entry));
    }
    for (auto& entry : pending) {
        entry.input.name = atomName(connection_, entry.name);
        if (entry.output) {
            // An output can disappear between two requests (a cable pulled): RandR's BadOutput is
            // then as expected as a vanished window.
            constexpr auto gone = X11ErrorTolerance::outputMayVanish;
            if (auto info = connection_.reply(xcb_randr_get_output_info_reply, entry.info, "RandR GetOutputInfo", gone)) {
                entry.input.outputName.assign(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                                              static_cast<size_t>(xcb_randr_get_output_info_name_length(info.get())));
            }
            if (auto edid = connection_.reply(xcb_randr_get_output_property_reply, entry.edid,
                                              "RandR GetOutputProperty", gone)) {
                if (edid->format == 8) {
                    const uint8_t* data = xcb_randr_get_output_property_data(edid.get());
                    entry.input.edid.assign(data, data + xcb_randr_get_output_property_data_length(edid.get()));
                }
            }
            if (auto connector = connection_.reply(xcb_randr_get_output_property_reply, entry.connector,
                                                   "RandR GetOutputProperty", gone)) {
                if (connector->format == 32 && connector->type == XCB_ATOM_ATOM &&
                    xcb_randr_get_output_property_data_length(connector.get()) >= 4) {
                    xcb_atom_t value = *reinterpret_cast<const uint32_t*>(
                        xcb_randr_get_output_property_data(connector.get()));
                    if (value == a.Panel) {
                        entry.input.connectorType = "Panel";
                    }
                }
            }
        }
        if (entry.input.name.empty()) {
            entry.input.name = entry.input.outputName;
        }
        inputs.push_back(std::move(entry.input));
    }
    return inputs;
}

std::optional<Rect> X11Monitors::announcedWorkArea() {
    // A dead window manager's property stays behind: it no longer keeps windows anywhere.
    if (!windows_.hasLiveWindowManager()) return std::nullopt;
    const X11Atoms& a = connection_.atoms();
    auto areaCookie = X11Property::request(connection_, connection_.root(), a._NET_WORKAREA, XCB_ATOM_CARDINAL);
    auto desktopCookie =
        X11Property::request(connection_, connection_.root(), a._NET_CURRENT_DESKTOP, XCB_ATOM_CARDINAL, 1);
    auto area = X11Property::fetch(connection_, areaCookie, X11ErrorTolerance::none);
    auto desktop = X11Property::fetch(connection_, desktopCookie, X11ErrorTolerance::none);
    if (!area) return std::nullopt;
    const auto words = area->cardinals();
    // One rectangle per desktop: the current one's, else the first.
    std::size_t at = 0;
    if (desktop && !desktop->cardinals().empty()) {
        const std::size_t current = desktop->cardinals().front();
        if (current < words.size() / 4) at = current * 4;
    }
    if (words.size() < at + 4) return std::nullopt;
    // CARDINALs: a value past 32767 is no position on any screen X can have.
    auto number = [](uint32_t word) { return double(std::min<uint32_t>(word, 0x7FFF)); };
    return Rect(number(words[at]), number(words[at + 1]), number(words[at + 2]), number(words[at + 3]));
}

std::vector<Rect> X11Monitors::panelCandidates(Size rootSize, const Rect& announced) {
    std::vector<Rect> found;
    std::set<xcb_window_t> panels;
    // No band left out (a window manager without panels, the usual case): no panel to look for.
    if (windowManagerStruts(announced, rootSize, {}, {}).empty()) {
        panels_.clear();
        return found;
    }
    xcb_connection_t* c = connection_.xcb();
    auto tree = connection_.reply(xcb_query_tree_reply, xcb_query_tree(c, connection_.root()), "QueryTree");
    if (!tree) return found;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    // Every request first, then the replies: one round trip.
    std::vector<std::pair<xcb_get_window_attributes_cookie_t, xcb_get_geometry_cookie_t>> cookies;
    for (int i = 0; i < count; ++i) {
        cookies.emplace_back(xcb_get_window_attributes(c, children[i]), xcb_get_geometry(c, children[i]));
    }
    constexpr auto gone = X11ErrorTolerance::windowMayVanish;
    for (int i = 0; i < count; ++i) {
        auto attributes = connection_.reply(xcb_get_window_attributes_reply, cookies[size_t(i)].first,
                                            "GetWindowAttributes", gone);
        auto geometry = connection_.reply(xcb_get_geometry_reply, cookies[size_t(i)].second, "GetGeometry", gone);
        // A window manager's own panels are drawn, mapped and placed by itself (override-redirect).
        if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT || !attributes->override_redirect) {
            continue;
        }
        const Rect rect(geometry->x, geometry->y, geometry->width + 2.0 * geometry->border_width,
                        geometry->height + 2.0 * geometry->border_width);
        if (!liesInAnnouncedBand(rect, announced, rootSize)) continue;
        found.push_back(rect);
        panels.insert(children[i]);
    }
    for (xcb_window_t panel : panels) {
        if (panels_.count(panel)) continue;
        // Its moves and its end change the work areas.
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        connection_.checkLater(xcb_change_window_attributes_checked(c, panel, XCB_CW_EVENT_MASK, &mask),
                               "ChangeWindowAttributes", gone);
    }
    panels_ = std::move(panels);
    return found;
}

std::vector<X11Monitor> X11Monitors::monitors() {
    auto root = connection_.reply(xcb_get_geometry_reply, xcb_get_geometry(connection_.xcb(), connection_.root()),
                                  "GetGeometry");
    Size rootSize = root ? Size{double(root->width), double(root->height)}
                         : Size{double(connection_.screen().width_in_pixels),
                                double(connection_.screen().height_in_pixels)};
    auto monitors = assembleMonitors(readInputs(rootSize));
    auto reserved = struts();
    if (const auto announced = announcedWorkArea()) {
        auto own = windowManagerStruts(*announced, rootSize, reserved, panelCandidates(rootSize, *announced));
        reserved.insert(reserved.end(), own.begin(), own.end());
    } else {
        panels_.clear();
    }
    for (auto& monitor : monitors) {
        monitor.workArea = workArea(monitor.frame, rootSize, reserved);
    }
    return monitors;
}

}  // namespace tessary
