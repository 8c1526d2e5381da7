#include "Platform/X11/X11Accessibility.h"

#include "Platform/X11/X11ClientOrder.h"
#include "Platform/X11/X11Property.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tessary {

namespace {

Expected<AXValue, AXError> fail(AXError error) {
    return unexpected(error);
}

xcb_window_t windowID(const AXElement& element) {
    return static_cast<xcb_window_t>(element.window);
}

// The token of a window's title bar, the one child element the back end hands out.
constexpr std::uint64_t titleBarToken = 1;

}  // namespace

X11Accessibility::X11Accessibility(X11Connection& connection, X11Windows& windows, X11ClientTracker& tracker,
                                   const Screens& screens)
    : connection_(connection), windows_(windows), tracker_(tracker), screens_(screens) {
    created_ = tracker_.windowCreated.subscribe(
        [this](const X11Client& client) { deliver(client, ax::windowCreatedNotification); });
    destroyed_ = tracker_.windowDestroyed.subscribe(
        [this](const X11Client& client) { deliver(client, ax::uiElementDestroyedNotification); });
}

X11Accessibility::~X11Accessibility() = default;

std::chrono::milliseconds X11Accessibility::timeout(const AXElement& element) const {
    auto seconds = [](float value) {
        return std::chrono::milliseconds(static_cast<long long>(std::llround(double(value) * 1000.0)));
    };
    if (auto own = timeouts_.find(element); own != timeouts_.end()) {
        return seconds(own->second);
    }
    if (auto global = timeouts_.find(AXElement::systemWide()); global != timeouts_.end()) {
        return seconds(global->second);
    }
    return kDefaultTimeout;
}

ProcessID X11Accessibility::processOf(xcb_window_t window) {
    if (auto client = tracker_.client(window)) {
        return client->pid;
    }
    // Not announced yet: read it the way the tracker will, so the element comes out the same.
    return windows_.processID(window).value_or(0);
}

AXElement X11Accessibility::elementForWindow(xcb_window_t window) {
    return AXElement{AXElementKind::window, processOf(window), window, 0};
}

std::vector<xcb_window_t> X11Accessibility::windowsOf(ProcessID pid) {
    std::vector<xcb_window_t> result;
    for (xcb_window_t window : readClientsFrontToBack(connection_)) {
        if (processOf(window) == pid) result.push_back(window);
    }
    return result;
}

bool X11Accessibility::windowExists(xcb_window_t window) {
    return windows_.exists(window);
}

// --- Reads ---------------------------------------------------------------------------------------

Expected<AXValue, AXError> X11Accessibility::copyAttributeValue(const AXElement& element, std::string_view attribute) {
    const std::optional<PositionRead> positionRead = std::exchange(positionRead_, std::nullopt);
    if (positionRead && attribute == ax::sizeAttribute && element.kind == AXElementKind::window &&
        positionRead->window == windowID(element) && pendingFrames_.empty() &&
        positionRead->mark == connection_.eventMark()) {
        return AXValue{positionRead->frame.size};
    }
    commitWrites(true);
    switch (element.kind) {
    case AXElementKind::window:
        return windowAttribute(element, attribute);
    case AXElementKind::application:
        return applicationAttribute(element, attribute);
    case AXElementKind::child:
        return titleBarAttribute(element, attribute);
    case AXElementKind::systemWide:
        return fail(AXError::attributeUnsupported);
    case AXElementKind::invalid:
        break;
    }
    return fail(AXError::illegalArgument);
}

Expected<AXValue, AXError> X11Accessibility::titleBarAttribute(const AXElement& element, std::string_view attribute) {
    if (element.token != titleBarToken) return fail(AXError::invalidUIElement);
    // The role is known from the element itself: the hit test that made it asked the server.
    if (attribute == ax::roleAttribute) return AXValue{std::string(ax::titleBarRole)};
    if (attribute == ax::windowAttribute) {
        if (!windowExists(windowID(element))) return fail(AXError::invalidUIElement);
        return AXValue{AXElement{AXElementKind::window, element.pid, element.window, 0}};
    }
    return fail(AXError::attributeUnsupported);
}

Expected<AXValue, AXError> X11Accessibility::windowAttribute(const AXElement& element, std::string_view attribute) {
    xcb_window_t window = windowID(element);
    if (attribute == ax::positionAttribute || attribute == ax::sizeAttribute) {
        auto frame = windows_.outerFrame(window);
        if (!frame) return fail(AXError::invalidUIElement);
        if (attribute == ax::positionAttribute) {
            positionRead_ = PositionRead{window, *frame, connection_.eventMark()};
            return AXValue{frame->origin};
        }
        return AXValue{frame->size};
    }
    if (attribute == ax::roleAttribute) {
        if (!windowExists(window)) return fail(AXError::invalidUIElement);
        return AXValue{std::string(ax::windowRole)};
    }
    if (attribute == ax::sizeIncrementAttribute) {
        auto hints = windows_.sizeHints(window);
        if (!hints) return fail(AXError::invalidUIElement);
        if (!hints->hasIncrements()) return fail(AXError::noValue);
        return AXValue{*hints->increment};
    }
    if (attribute == ax::shadowKeptOnScreenAttribute) {
        std::vector<Rect> areas;
        for (const Screen& screen : screens_.screens()) areas.push_back(screen.workArea);
        auto kept = windows_.shadowKeptOnScreen(window, areas);
        if (!kept) return fail(AXError::invalidUIElement);
        return AXValue{*kept};
    }
    if (attribute == ax::minimumSizeAttribute) {
        auto hints = windows_.sizeHints(window);
        auto geometry = windows_.geometry(window);
        if (!hints || !geometry) return fail(AXError::invalidUIElement);
        // The least size is the minimum, or the base where only that is given (ICCCM 4.1.2.3).
        const std::optional<Size> least = hints->minimum ? hints->minimum : hints->base;
        if (!least || (least->width <= 1 && least->height <= 1)) return fail(AXError::noValue);
        return AXValue{geometry->outerSizeFor(*least)};
    }
    if (attribute == ax::subroleAttribute) {
        auto kind = windows_.kind(window);
        if (!kind) return fail(AXError::invalidUIElement);
        if (kind->isStandard()) return AXValue{std::string(ax::standardWindowSubrole)};
        switch (kind->type) {
        case X11WindowType::normal:
        case X11WindowType::unset:
        case X11WindowType::dialog:
            return AXValue{std::string(ax::dialogSubrole)};
        case X11WindowType::utility:
        case X11WindowType::toolbar:
        case X11WindowType::menu:
            return AXValue{std::string(ax::floatingWindowSubrole)};
        default:
            return AXValue{std::string(ax::unknownSubrole)};
        }
    }
    if (attribute == ax::titleAttribute) {
        if (auto title = windows_.title(window)) return AXValue{*title};
        return fail(windowExists(window) ? AXError::noValue : AXError::invalidUIElement);
    }
    if (attribute == ax::minimizedAttribute) {
        auto hidden = windows_.isHidden(window);
        if (!hidden) return fail(AXError::invalidUIElement);
        return AXValue{*hidden};
    }
    if (attribute == ax::windowAttribute) {
        // A top-level window is its own window.
        if (!windowExists(window)) return fail(AXError::invalidUIElement);
        return AXValue{element};
    }
    return fail(AXError::attributeUnsupported);
}

Expected<AXValue, AXError> X11Accessibility::applicationAttribute(const AXElement& element, std::string_view attribute) {
    ProcessID pid = element.pid;
    auto application = tracker_.application(pid);
    if (attribute == ax::roleAttribute) {
        if (!application) return fail(AXError::invalidUIElement);
        return AXValue{std::string("AXApplication")};
    }
    if (attribute == ax::titleAttribute) {
        if (!application) return fail(AXError::invalidUIElement);
        return AXValue{application->localizedName};
    }
    if (attribute != ax::windowsAttribute && attribute != ax::focusedWindowAttribute) {
        return fail(application ? AXError::attributeUnsupported : AXError::invalidUIElement);
    }
    std::vector<xcb_window_t> windows = windowsOf(pid);
    if (windows.empty() && !application) return fail(AXError::invalidUIElement);
    if (attribute == ax::windowsAttribute) {
        std::vector<AXElement> elements;
        for (xcb_window_t window : windows) elements.push_back(AXElement{AXElementKind::window, pid, window, 0});
        return AXValue{elements};
    }
    // The focused window: the focused client when it is this process's, else its frontmost one
    // that is not minimised.
    if (auto active = windows_.focusedClient();
        active && std::find(windows.begin(), windows.end(), *active) != windows.end()) {
        return AXValue{AXElement{AXElementKind::window, pid, *active, 0}};
    }
    for (xcb_window_t window : windows) {
        if (!windows_.isHidden(window).value_or(true)) {
            return AXValue{AXElement{AXElementKind::window, pid, window, 0}};
        }
    }
    return fail(AXError::noValue);
}

// --- Writes and actions --------------------------------------------------------------------------

AXError X11Accessibility::setAttributeValue(const AXElement& element, std::string_view attribute, const AXValue& value) {
    positionRead_.reset();
    if (element.kind != AXElementKind::window) {
        return element.isValid() ? AXError::attributeUnsupported : AXError::illegalArgument;
    }
    if (attribute == ax::positionAttribute) {
        const Point* position = std::get_if<Point>(&value);
        if (!position || !std::isfinite(position->x) || !std::isfinite(position->y)) return AXError::illegalArgument;
        return holdWrite(element, *position, std::nullopt);
    }
    if (attribute == ax::sizeAttribute) {
        const Size* size = std::get_if<Size>(&value);
        if (!size || !std::isfinite(size->width) || !std::isfinite(size->height)) return AXError::illegalArgument;
        return holdWrite(element, std::nullopt, *size);
    }
    return AXError::attributeUnsupported;
}

AXError X11Accessibility::holdWrite(const AXElement& element, std::optional<Point> origin, std::optional<Size> size) {
    // Nobody would answer: the caller learns it now instead of after the time-out.
    if (!windows_.hasLiveWindowManager()) return AXError::cannotComplete;
    PendingFrame& pending = pendingFrames_[windowID(element)];
    if (origin) pending.origin = origin;
    if (size) pending.size = size;
    pending.timeout = timeout(element);
    return AXError::success;
}

void X11Accessibility::commitWrites(bool wait) {
    if (pendingFrames_.empty()) return;  // the end of nearly every main-loop turn
    // Taken out first: a window that vanished is not asked again.
    auto pending = std::exchange(pendingFrames_, {});
    for (const auto& [window, frame] : pending) {
        windows_.moveResize(window, frame.origin, frame.size, frame.timeout, wait);
    }
}

AXError X11Accessibility::performAction(const AXElement& element, std::string_view action) {
    positionRead_.reset();
    if (element.kind != AXElementKind::window) return AXError::actionUnsupported;
    if (action != ax::raiseAction) return AXError::actionUnsupported;
    commitWrites(true);
    xcb_window_t window = windowID(element);
    if (!windowExists(window)) return AXError::invalidUIElement;
    if (!windows_.hasLiveWindowManager()) return AXError::cannotComplete;
    windows_.activate(window, timeout(element));
    return AXError::success;
}

Expected<AXElement, AXError> X11Accessibility::copyElementAtPosition(const AXElement& root, float x, float y) {
    positionRead_.reset();
    if (root.kind != AXElementKind::systemWide && root.kind != AXElementKind::application) {
        return unexpected(AXError::illegalArgument);
    }
    if (!std::isfinite(x) || !std::isfinite(y)) return unexpected(AXError::illegalArgument);
    commitWrites(true);
    auto hit = windows_.windowAt(Point{double(x), double(y)});
    if (!hit) return unexpected(AXError::noValue);
    AXElement element = elementForWindow(hit->window);
    if (root.kind == AXElementKind::application && element.pid != root.pid) return unexpected(AXError::noValue);
    if (hit->onTitleBar) return AXElement{AXElementKind::child, element.pid, element.window, titleBarToken};
    return element;
}

Expected<ProcessID, AXError> X11Accessibility::pid(const AXElement& element) {
    switch (element.kind) {
    case AXElementKind::application:
        if (tracker_.application(element.pid)) return element.pid;
        return unexpected(AXError::invalidUIElement);
    case AXElementKind::window:
    case AXElementKind::child:
        // The process is part of the element, as it was read when the element was made.
        if (element.pid > 0) return element.pid;
        return unexpected(AXError::failure);
    case AXElementKind::systemWide:
    case AXElementKind::invalid:
        break;
    }
    return unexpected(AXError::illegalArgument);
}

AXError X11Accessibility::setMessagingTimeout(const AXElement& element, float seconds) {
    if (!element.isValid() || !std::isfinite(seconds) || seconds < 0) return AXError::illegalArgument;
    if (seconds == 0) {
        timeouts_.erase(element);
    } else {
        timeouts_[element] = std::min(seconds, 60.0f);
    }
    return AXError::success;
}

// --- Observers -----------------------------------------------------------------------------------

Expected<AXObserverID, AXError> X11Accessibility::createObserver(ProcessID pid, AXObserverCallback callback) {
    if (!callback || pid <= 0) return unexpected(AXError::illegalArgument);
    AXObserverID id = ++nextObserver_;
    observers_.emplace(id, Observer{pid, std::move(callback), {}, false});
    return id;
}

AXError X11Accessibility::addNotification(AXObserverID observer, const AXElement& element, std::string_view notification) {
    auto found = observers_.find(observer);
    if (found == observers_.end()) return AXError::invalidUIElementObserver;
    if (element.kind != AXElementKind::application || element.pid != found->second.pid) return AXError::illegalArgument;
    if (notification != ax::windowCreatedNotification && notification != ax::uiElementDestroyedNotification) {
        return AXError::notificationUnsupported;
    }
    if (!isProcessTrusted()) return AXError::apiDisabled;
    // A process with no managed window is no application yet; it may be one later.
    if (!tracker_.application(element.pid)) return AXError::cannotComplete;
    if (!found->second.notifications.insert(std::string(notification)).second) {
        return AXError::notificationAlreadyRegistered;
    }
    return AXError::success;
}

void X11Accessibility::startObserver(AXObserverID observer) {
    if (auto found = observers_.find(observer); found != observers_.end()) found->second.started = true;
}

void X11Accessibility::removeObserver(AXObserverID observer) {
    observers_.erase(observer);
}

void X11Accessibility::deliver(const X11Client& client, std::string_view notification) {
    if (client.pid <= 0) return;
    std::vector<AXObserverID> targets;
    for (const auto& [id, observer] : observers_) {
        if (observer.pid == client.pid && observer.started && observer.notifications.count(notification)) {
            targets.push_back(id);
        }
    }
    AXElement element{AXElementKind::window, client.pid, client.window, 0};
    for (AXObserverID id : targets) {
        // An earlier callback may have removed this observer.
        auto found = observers_.find(id);
        if (found == observers_.end()) continue;
        AXObserverCallback callback = found->second.callback;
        callback(element, notification);
    }
}

// --- Trust ---------------------------------------------------------------------------------------

bool X11Accessibility::isProcessTrusted() {
    if (connection_.hasFailed()) return false;
    const X11Atoms& a = connection_.atoms();
    if (!windows_.hasLiveWindowManager()) return false;
    auto supported = windows_.supported();
    for (xcb_atom_t needed : {a._NET_CLIENT_LIST, a._NET_ACTIVE_WINDOW, a._NET_MOVERESIZE_WINDOW, a._NET_FRAME_EXTENTS}) {
        if (std::find(supported.begin(), supported.end(), needed) == supported.end()) return false;
    }
    return true;
}

bool X11Accessibility::isProcessTrustedWithPrompt() {
    // Nothing to prompt for: window control comes with the window manager.
    return isProcessTrusted();
}

}  // namespace tessary
