#include "Platform/Sim/SimAccessibility.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <sstream>

namespace tessary {

namespace {

std::string valueDescription(const AXValue& value) {
    std::ostringstream out;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                out << '"' << v << '"';
            } else if constexpr (std::is_same_v<T, bool>) {
                out << (v ? "true" : "false");
            } else if constexpr (std::is_same_v<T, AXElement>) {
                out << "element " << v.window << '/' << v.token;
            } else if constexpr (std::is_same_v<T, std::vector<AXElement>>) {
                out << v.size() << " elements";
            } else {
                out << v;
            }
        },
        value);
    return out.str();
}

double steppedDown(double value, double base, double step) {
    if (step <= 0 || value <= base) return value;
    return base + std::floor((value - base) / step) * step;
}

}  // namespace

std::string AXRequest::description() const {
    std::ostringstream out;
    switch (kind) {
    case Kind::copyAttribute: out << "copy " << name; break;
    case Kind::setAttribute: out << "set " << name; break;
    case Kind::performAction: out << "perform " << name; break;
    case Kind::elementAtPosition: out << "element at"; break;
    case Kind::pid: out << "pid"; break;
    case Kind::setMessagingTimeout: out << "timeout"; break;
    case Kind::createObserver: out << "create observer " << pid; break;
    case Kind::addNotification: out << "add " << name; break;
    case Kind::startObserver: out << "start observer " << pid; break;
    case Kind::removeObserver: out << "remove observer " << pid; break;
    case Kind::isTrusted: out << "is trusted"; break;
    case Kind::isTrustedWithPrompt: out << "is trusted, prompting"; break;
    }
    if (value) {
        if (kind == Kind::setMessagingTimeout) {
            out << ' ' << std::get<Size>(*value).width;
        } else {
            out << ' ' << valueDescription(*value);
        }
    }
    return out.str();
}

// -- building the world ------------------------------------------------------------------------

AXElement SimAccessibility::addApplication(ProcessID pid) {
    applications_.try_emplace(pid, Application{pid, {}, std::nullopt, std::nullopt});
    return AXElement::application(pid);
}

AXElement SimAccessibility::addWindow(ProcessID pid, Rect frame, std::optional<std::string> title) {
    addApplication(pid);
    const AXElement element{AXElementKind::window, pid, ++nextWindowID_, 0};
    Window window;
    window.element = element;
    window.frame = frame;
    window.title = std::move(title);
    windows_.emplace(element, std::move(window));
    applications_.at(pid).windows.push_back(element);
    stacking_.insert(stacking_.begin(), element);
    postNotification(pid, element, ax::windowCreatedNotification);
    return element;
}

AXElement SimAccessibility::addChild(const AXElement& window, Rect frame, std::string role) {
    assert(hasWindow(window));
    const AXElement element{AXElementKind::child, window.pid, window.window, ++nextToken_};
    children_.emplace(element, Child{element, window, frame, std::move(role)});
    return element;
}

SimAccessibility::Window& SimAccessibility::window(const AXElement& element) {
    Window* found = findWindow(element);
    assert(found != nullptr);
    return *found;
}

bool SimAccessibility::hasWindow(const AXElement& element) const { return windows_.contains(element); }

void SimAccessibility::closeWindow(const AXElement& element) {
    if (windows_.erase(element) == 0) return;
    std::erase(stacking_, element);
    std::erase_if(children_, [&](const auto& entry) { return entry.second.window == element; });
    if (Application* app = findApplication(element.pid)) {
        std::erase(app->windows, element);
        if (app->focusedWindow == element) app->focusedWindow.reset();
    }
    postNotification(element.pid, element, ax::uiElementDestroyedNotification);
}

void SimAccessibility::removeApplication(ProcessID pid) {
    Application* app = findApplication(pid);
    if (app == nullptr) return;
    const std::vector<AXElement> windows = app->windows;
    for (const AXElement& window : windows) closeWindow(window);
    applications_.erase(pid);
}

void SimAccessibility::setFocusedWindow(ProcessID pid, std::optional<AXElement> window) {
    addApplication(pid);
    applications_.at(pid).focusedWindow = window;
}

void SimAccessibility::setApplicationError(ProcessID pid, std::optional<AXError> error) {
    addApplication(pid);
    applications_.at(pid).error = error;
}

// -- observers ---------------------------------------------------------------------------------

void SimAccessibility::scriptAddNotificationResults(ProcessID pid, std::vector<AXError> results) {
    addNotificationScripts_[pid] = std::deque<AXError>(results.begin(), results.end());
}

void SimAccessibility::setCreateObserverError(ProcessID pid, std::optional<AXError> error) {
    if (error) {
        createObserverErrors_[pid] = *error;
    } else {
        createObserverErrors_.erase(pid);
    }
}

void SimAccessibility::postNotification(ProcessID pid, const AXElement& element, std::string_view notification) {
    std::vector<AXObserverCallback> targets;
    for (const auto& [id, observer] : observers_) {
        if (observer.pid != pid || !observer.started) continue;
        if (std::find(observer.notifications.begin(), observer.notifications.end(), notification) ==
            observer.notifications.end()) {
            continue;
        }
        targets.push_back(observer.callback);
    }
    for (const AXObserverCallback& callback : targets) callback(element, notification);
}

std::size_t SimAccessibility::activeObserverCount(ProcessID pid) const {
    return static_cast<std::size_t>(std::count_if(observers_.begin(), observers_.end(), [&](const auto& entry) {
        return entry.second.pid == pid && entry.second.started;
    }));
}

// -- the record --------------------------------------------------------------------------------

std::vector<std::string> SimAccessibility::requestLog(const AXElement& element) const {
    std::vector<std::string> log;
    for (const AXRequest& request : requests_) {
        if (request.element == element) log.push_back(request.description());
    }
    return log;
}

std::size_t SimAccessibility::requestCount(AXRequest::Kind kind) const {
    return static_cast<std::size_t>(
        std::count_if(requests_.begin(), requests_.end(), [&](const AXRequest& r) { return r.kind == kind; }));
}

std::optional<float> SimAccessibility::messagingTimeout(const AXElement& element) const {
    auto found = timeouts_.find(element);
    if (found == timeouts_.end()) return std::nullopt;
    return found->second;
}

void SimAccessibility::record(AXRequest request) { requests_.push_back(std::move(request)); }

bool SimAccessibility::windowAnswers(const AXElement& element) {
    Window* window = findWindow(element);
    if (window == nullptr) return false;
    if (window->requestsBeforeVanishing) {
        if (*window->requestsBeforeVanishing <= 0) {
            closeWindow(element);
            return false;
        }
        --*window->requestsBeforeVanishing;
    }
    return true;
}

SimAccessibility::Window* SimAccessibility::findWindow(const AXElement& element) {
    auto found = windows_.find(element);
    return found == windows_.end() ? nullptr : &found->second;
}

SimAccessibility::Application* SimAccessibility::findApplication(ProcessID pid) {
    auto found = applications_.find(pid);
    return found == applications_.end() ? nullptr : &found->second;
}

void SimAccessibility::applySize(Window& window, Size size) {
    double width = size.width;
    double height = size.height;
    if (window.confinedTo) {
        width = std::min(width, window.confinedTo->maxX() - window.frame.minX());
        height = std::min(height, window.confinedTo->maxY() - window.frame.minY());
    }
    if (window.maximumSize) {
        width = std::min(width, window.maximumSize->width);
        height = std::min(height, window.maximumSize->height);
    }
    width = steppedDown(width, window.minimumSize.width, window.sizeIncrement.width);
    height = steppedDown(height, window.minimumSize.height, window.sizeIncrement.height);
    width = std::max(width, window.minimumSize.width);
    height = std::max(height, window.minimumSize.height);
    window.frame.size = Size{width, height};
}

void SimAccessibility::applyPosition(Window& window, Point position) {
    double x = position.x;
    double y = position.y;
    if (const std::optional<Rect>& bounds = window.confinedTo) {
        x = std::max(std::min(x, bounds->maxX() - window.frame.width()), bounds->minX());
        y = std::max(std::min(y, bounds->maxY() - window.frame.height()), bounds->minY());
    }
    window.frame.origin = Point{x, y};
}

void SimAccessibility::bringToFront(const AXElement& element) {
    std::erase(stacking_, element);
    stacking_.insert(stacking_.begin(), element);
}

// -- Accessibility -----------------------------------------------------------------------------

Expected<AXValue, AXError> SimAccessibility::copyAttributeValue(const AXElement& element, std::string_view attribute) {
    record({AXRequest::Kind::copyAttribute, element, std::string(attribute), std::nullopt, 0});
    const auto fail = [](AXError error) -> Expected<AXValue, AXError> { return unexpected(error); };

    switch (element.kind) {
    case AXElementKind::application: {
        Application* app = findApplication(element.pid);
        if (app == nullptr) return fail(AXError::invalidUIElement);
        if (app->error) return fail(*app->error);
        if (attribute == ax::roleAttribute) return AXValue{std::string("AXApplication")};
        if (attribute == ax::windowsAttribute) return AXValue{app->windows};
        if (attribute == ax::focusedWindowAttribute) {
            if (!app->focusedWindow) return fail(AXError::noValue);
            return AXValue{*app->focusedWindow};
        }
        return fail(AXError::attributeUnsupported);
    }
    case AXElementKind::window: {
        if (!windowAnswers(element)) return fail(AXError::invalidUIElement);
        const Window& window = *findWindow(element);
        if (auto found = window.readOverrides.find(attribute); found != window.readOverrides.end()) {
            return found->second;
        }
        if (attribute == ax::roleAttribute) return AXValue{window.role};
        if (attribute == ax::subroleAttribute) {
            if (!window.subrole) return fail(AXError::noValue);
            return AXValue{*window.subrole};
        }
        if (attribute == ax::titleAttribute) {
            if (!window.title) return fail(AXError::noValue);
            return AXValue{*window.title};
        }
        if (attribute == ax::minimizedAttribute) return AXValue{window.minimized};
        if (attribute == ax::positionAttribute) return AXValue{window.frame.origin};
        if (attribute == ax::sizeAttribute) return AXValue{window.frame.size};
        if (attribute == ax::minimumSizeAttribute) {
            if (window.minimumSize.width <= 1 && window.minimumSize.height <= 1) return fail(AXError::noValue);
            return AXValue{window.minimumSize};
        }
        if (attribute == ax::sizeIncrementAttribute) {
            // As a window declares it: a step of one point is no step.
            if (window.sizeIncrement.width <= 1 && window.sizeIncrement.height <= 1) return fail(AXError::noValue);
            return AXValue{window.sizeIncrement};
        }
        return fail(AXError::attributeUnsupported);
    }
    case AXElementKind::child: {
        auto found = children_.find(element);
        if (found == children_.end()) return fail(AXError::invalidUIElement);
        const Child& child = found->second;
        if (attribute == ax::roleAttribute) return AXValue{child.role};
        if (attribute == ax::windowAttribute) return AXValue{child.window};
        if (attribute == ax::positionAttribute) return AXValue{child.frame.origin};
        if (attribute == ax::sizeAttribute) return AXValue{child.frame.size};
        return fail(AXError::attributeUnsupported);
    }
    case AXElementKind::systemWide:
        return fail(AXError::attributeUnsupported);
    case AXElementKind::invalid:
        break;
    }
    return fail(AXError::illegalArgument);
}

AXError SimAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute, const AXValue& value) {
    record({AXRequest::Kind::setAttribute, element, std::string(attribute), value, 0});
    if (element.kind != AXElementKind::window) {
        return element.isValid() ? AXError::attributeUnsupported : AXError::illegalArgument;
    }
    if (!windowAnswers(element)) return AXError::invalidUIElement;
    Window& window = *findWindow(element);
    if (window.writeError && (attribute == ax::positionAttribute || attribute == ax::sizeAttribute)) {
        return *window.writeError;
    }
    if (attribute == ax::positionAttribute) {
        const Point* position = std::get_if<Point>(&value);
        if (position == nullptr) return AXError::illegalArgument;
        if (!window.movable) return AXError::attributeUnsupported;
        applyPosition(window, *position);
        return AXError::success;
    }
    if (attribute == ax::sizeAttribute) {
        const Size* size = std::get_if<Size>(&value);
        if (size == nullptr) return AXError::illegalArgument;
        if (!window.resizable) return AXError::attributeUnsupported;
        applySize(window, *size);
        return AXError::success;
    }
    if (attribute == ax::minimizedAttribute) {
        const bool* minimized = std::get_if<bool>(&value);
        if (minimized == nullptr) return AXError::illegalArgument;
        window.minimized = *minimized;
        return AXError::success;
    }
    return AXError::attributeUnsupported;
}

AXError SimAccessibility::performAction(const AXElement& element, std::string_view action) {
    record({AXRequest::Kind::performAction, element, std::string(action), std::nullopt, 0});
    if (element.kind != AXElementKind::window) return AXError::actionUnsupported;
    if (!windowAnswers(element)) return AXError::invalidUIElement;
    if (action != ax::raiseAction) return AXError::actionUnsupported;
    bringToFront(element);
    if (Application* app = findApplication(element.pid)) app->focusedWindow = element;
    return AXError::success;
}

Expected<AXElement, AXError> SimAccessibility::copyElementAtPosition(const AXElement& root, float x, float y) {
    const Point point{static_cast<double>(x), static_cast<double>(y)};
    record({AXRequest::Kind::elementAtPosition, root, {}, AXValue{point}, 0});
    if (hitTestError_) return unexpected(*hitTestError_);
    if (root.kind != AXElementKind::systemWide && root.kind != AXElementKind::application) {
        return unexpected(AXError::illegalArgument);
    }
    for (const AXElement& element : stacking_) {
        if (root.kind == AXElementKind::application && element.pid != root.pid) continue;
        const Window& window = windows_.at(element);
        if (window.minimized || !window.frame.contains(point)) continue;
        // The child added last is on top (a button on a title bar).
        const AXElement* top = nullptr;
        for (const auto& [childElement, child] : children_) {
            if (child.window == element && child.frame.contains(point) && (!top || childElement.token > top->token)) {
                top = &childElement;
            }
        }
        return top ? *top : element;
    }
    return unexpected(AXError::noValue);
}

Expected<ProcessID, AXError> SimAccessibility::pid(const AXElement& element) {
    record({AXRequest::Kind::pid, element, {}, std::nullopt, 0});
    switch (element.kind) {
    case AXElementKind::application:
        if (findApplication(element.pid) == nullptr) return unexpected(AXError::invalidUIElement);
        return element.pid;
    case AXElementKind::window:
        if (!windowAnswers(element)) return unexpected(AXError::invalidUIElement);
        return element.pid;
    case AXElementKind::child:
        if (!children_.contains(element)) return unexpected(AXError::invalidUIElement);
        return element.pid;
    case AXElementKind::systemWide:
    case AXElementKind::invalid:
        break;
    }
    return unexpected(AXError::illegalArgument);
}

AXError SimAccessibility::setMessagingTimeout(const AXElement& element, float seconds) {
    record({AXRequest::Kind::setMessagingTimeout, element, {}, AXValue{Size{seconds, 0}}, 0});
    if (!element.isValid() || seconds < 0) return AXError::illegalArgument;
    timeouts_[element] = seconds;
    return AXError::success;
}

Expected<AXObserverID, AXError> SimAccessibility::createObserver(ProcessID pid, AXObserverCallback callback) {
    record({AXRequest::Kind::createObserver, AXElement::application(pid), {}, std::nullopt, pid});
    if (auto found = createObserverErrors_.find(pid); found != createObserverErrors_.end()) {
        return unexpected(found->second);
    }
    if (!callback) return unexpected(AXError::illegalArgument);
    const AXObserverID id = ++nextObserverID_;
    observers_.emplace(id, Observer{pid, std::move(callback), {}, false});
    return id;
}

AXError SimAccessibility::addNotification(AXObserverID observer, const AXElement& element, std::string_view notification) {
    auto found = observers_.find(observer);
    const ProcessID pid = found == observers_.end() ? 0 : found->second.pid;
    record({AXRequest::Kind::addNotification, element, std::string(notification), std::nullopt, pid});
    if (found == observers_.end()) return AXError::invalidUIElementObserver;
    if (auto script = addNotificationScripts_.find(pid); script != addNotificationScripts_.end() && !script->second.empty()) {
        const AXError result = script->second.front();
        script->second.pop_front();
        if (result != AXError::success) return result;
    }
    std::vector<std::string>& names = found->second.notifications;
    if (std::find(names.begin(), names.end(), notification) != names.end()) {
        return AXError::notificationAlreadyRegistered;
    }
    names.emplace_back(notification);
    return AXError::success;
}

void SimAccessibility::startObserver(AXObserverID observer) {
    auto found = observers_.find(observer);
    record({AXRequest::Kind::startObserver, {}, {}, std::nullopt, found == observers_.end() ? 0 : found->second.pid});
    if (found != observers_.end()) found->second.started = true;
}

void SimAccessibility::removeObserver(AXObserverID observer) {
    auto found = observers_.find(observer);
    record({AXRequest::Kind::removeObserver, {}, {}, std::nullopt, found == observers_.end() ? 0 : found->second.pid});
    if (found != observers_.end()) observers_.erase(found);
}

bool SimAccessibility::isProcessTrusted() {
    record({AXRequest::Kind::isTrusted, {}, {}, std::nullopt, 0});
    return trusted;
}

bool SimAccessibility::isProcessTrustedWithPrompt() {
    record({AXRequest::Kind::isTrustedWithPrompt, {}, {}, std::nullopt, 0});
    if (!trusted) ++promptCount_;
    return trusted;
}

}  // namespace tessary
