#include "WindowEngine/AXWindowEngine.h"

#include <cmath>
#include <sstream>

#include "WindowEngine/CoordinateSpace.h"
#include "WindowEngine/UnfitWindowPlacement.h"

namespace tessary {

namespace {

constexpr double frameTolerance = 2.0;

template <typename T>
std::optional<T> valueAs(const Expected<AXValue, AXError>& result) {
    if (!result) return std::nullopt;
    if (const T* value = std::get_if<T>(&result.value())) return *value;
    return std::nullopt;
}

std::string text(const Rect& rect) {
    std::ostringstream out;
    out << rect;
    return out.str();
}

std::string text(Point point) {
    std::ostringstream out;
    out << point;
    return out.str();
}

std::string text(Size size) {
    std::ostringstream out;
    out << size;
    return out.str();
}

std::string policyText(ActivationPolicy policy) {
    switch (policy) {
    case ActivationPolicy::regular: return "regular";
    case ActivationPolicy::accessory: return "accessory";
    case ActivationPolicy::prohibited: return "prohibited";
    }
    return "unknown";
}

}  // namespace

AXWindowEngine::AXWindowEngine(Accessibility& accessibility, ApplicationWorkspace& workspace)
    : accessibility_(accessibility), workspace_(workspace), systemWide(AXElement::systemWide()) {
    accessibility_.setMessagingTimeout(systemWide, messagingTimeout);
}

// -- attribute readers ---------------------------------------------------------------------------

AXElement AXWindowEngine::applicationElement(ProcessID pid) {
    const AXElement element = AXElement::application(pid);
    accessibility_.setMessagingTimeout(element, messagingTimeout);
    return element;
}

std::optional<std::string> AXWindowEngine::copyStringAttribute(std::string_view attribute, const AXElement& element) {
    return valueAs<std::string>(accessibility_.copyAttributeValue(element, attribute));
}

std::optional<bool> AXWindowEngine::copyBoolAttribute(std::string_view attribute, const AXElement& element) {
    return valueAs<bool>(accessibility_.copyAttributeValue(element, attribute));
}

std::optional<AXElement> AXWindowEngine::copyElementAttribute(std::string_view attribute, const AXElement& element) {
    std::optional<AXElement> value = valueAs<AXElement>(accessibility_.copyAttributeValue(element, attribute));
    if (value && !value->isValid()) return std::nullopt;
    return value;
}

std::vector<AXElement> AXWindowEngine::copyElementArrayAttribute(std::string_view attribute, const AXElement& element) {
    std::vector<AXElement> result;
    for (const AXElement& entry : valueAs<std::vector<AXElement>>(accessibility_.copyAttributeValue(element, attribute))
                                      .value_or(std::vector<AXElement>{})) {
        if (entry.isValid()) result.push_back(entry);
    }
    return result;
}

std::optional<Point> AXWindowEngine::copyPointAttribute(std::string_view attribute, const AXElement& element) {
    return valueAs<Point>(accessibility_.copyAttributeValue(element, attribute));
}

std::optional<Size> AXWindowEngine::copySizeAttribute(std::string_view attribute, const AXElement& element) {
    return valueAs<Size>(accessibility_.copyAttributeValue(element, attribute));
}

// -- finding windows ---------------------------------------------------------------------------

std::optional<WindowHandle> AXWindowEngine::focusedWindow() {
    const std::optional<RunningApplication> app = workspace_.frontmostApplication();
    if (!app) return std::nullopt;
    const std::optional<AXElement> window =
        copyElementAttribute(ax::focusedWindowAttribute, applicationElement(app->pid));
    if (!window) return std::nullopt;
    return WindowHandle(app->pid, *window);
}

std::optional<WindowHandle> AXWindowEngine::focusedWindow(const std::string& bundleIdentifier) {
    std::optional<RunningApplication> app;
    for (RunningApplication& candidate : workspace_.runningApplicationsWithBundleIdentifier(bundleIdentifier)) {
        if (!candidate.isTerminated) {
            app = std::move(candidate);
            break;
        }
    }
    if (!app) return std::nullopt;
    if (const std::optional<AXElement> focused =
            copyElementAttribute(ax::focusedWindowAttribute, applicationElement(app->pid))) {
        return WindowHandle(app->pid, *focused);
    }
    std::vector<WindowHandle> handles = windows(app->pid);
    if (handles.empty()) return std::nullopt;
    return handles.front();
}

std::optional<WindowHandle> AXWindowEngine::window(Point at) {
    std::optional<WindowHit> hit = windowHit(at);
    if (!hit) return std::nullopt;
    return std::move(hit->window);
}

std::optional<WindowHit> AXWindowEngine::windowHit(Point at) {
    const Expected<AXElement, AXError> hit =
        accessibility_.copyElementAtPosition(systemWide, static_cast<float>(at.x), static_cast<float>(at.y));
    if (!hit || !hit.value().isValid()) return std::nullopt;
    std::optional<AXElement> window;
    const std::optional<std::string> role = copyStringAttribute(ax::roleAttribute, hit.value());
    if (role == ax::windowRole) {
        window = hit.value();
    } else {
        window = copyElementAttribute(ax::windowAttribute, hit.value());
    }
    if (!window) return std::nullopt;
    const Expected<ProcessID, AXError> pid = accessibility_.pid(*window);
    if (!pid) return std::nullopt;
    return WindowHit{WindowHandle(pid.value(), *window), role == ax::titleBarRole};
}

std::vector<WindowHandle> AXWindowEngine::windows(ProcessID pid) {
    std::vector<WindowHandle> handles;
    for (const AXElement& element : copyElementArrayAttribute(ax::windowsAttribute, applicationElement(pid))) {
        if (copyStringAttribute(ax::subroleAttribute, element) == ax::standardWindowSubrole) {
            handles.emplace_back(pid, element);
        }
    }
    return handles;
}

std::vector<WindowHandle> AXWindowEngine::allWindows() {
    std::vector<WindowHandle> handles;
    for (const RunningApplication& app : workspace_.runningApplications()) {
        if (app.activationPolicy != ActivationPolicy::regular || app.isTerminated) continue;
        for (WindowHandle& handle : windows(app.pid)) handles.push_back(std::move(handle));
    }
    return handles;
}

// -- reading -----------------------------------------------------------------------------------

std::optional<WindowInfo> AXWindowEngine::info(const WindowHandle& window) {
    const std::optional<Point> position = copyPointAttribute(ax::positionAttribute, window.element);
    if (!position) return std::nullopt;
    const std::optional<Size> size = copySizeAttribute(ax::sizeAttribute, window.element);
    if (!size) return std::nullopt;
    WindowInfo info;
    info.ref = window;
    if (const std::optional<RunningApplication> app = workspace_.runningApplication(window.pid)) {
        info.bundleIdentifier = app->bundleIdentifier;
        info.instanceName = app->instanceName;
        info.applicationID = app->applicationID;
    }
    info.title = copyStringAttribute(ax::titleAttribute, window.element);
    info.isMinimized = copyBoolAttribute(ax::minimizedAttribute, window.element).value_or(false);
    info.isStandard = copyStringAttribute(ax::subroleAttribute, window.element) == ax::standardWindowSubrole;
    info.frame = Rect(*position, *size);
    return info;
}

std::optional<Rect> AXWindowEngine::frame(const WindowHandle& window) { return readBack(window.element); }

// -- moving ------------------------------------------------------------------------------------

AXError AXWindowEngine::writePosition(const AXElement& element, Point position) {
    return accessibility_.setAttributeValue(element, ax::positionAttribute, AXValue{position});
}

AXError AXWindowEngine::writeSize(const AXElement& element, Size size) {
    return accessibility_.setAttributeValue(element, ax::sizeAttribute, AXValue{size});
}

std::optional<Rect> AXWindowEngine::readBack(const AXElement& element) {
    const std::optional<Point> position = copyPointAttribute(ax::positionAttribute, element);
    if (!position) return std::nullopt;
    const std::optional<Size> size = copySizeAttribute(ax::sizeAttribute, element);
    if (!size) return std::nullopt;
    return Rect(*position, *size);
}

std::optional<SetFrameResult> AXWindowEngine::placeStepped(const Rect& requested, const Rect& achieved, Size step,
                                                           bool centred, const AXElement& element) {
    // Its size as well as it can take it, where it belongs (centred, or at the frame's origin): a
    // success. Elsewhere (the window manager left it where a late resize put it): moved there.
    const Rect placed(SetFrameResult::steppedOrigin(requested, achieved.size, centred), achieved.size);
    if (!SetFrameResult::takes(requested, placed, step, centred)) return std::nullopt;
    if (SetFrameResult::takes(requested, achieved, step, centred)) return SetFrameResult{requested, achieved, step, centred};
    writePosition(element, placed.origin);
    return SetFrameResult{requested, readBack(element).value_or(placed), step, centred};
}

SetFrameResult AXWindowEngine::setFrame(const Rect& requested, const WindowHandle& window) {
    const AXElement& element = window.element;
    const Point origin{requested.minX(), requested.minY()};
    const Size size{std::fabs(requested.width()), std::fabs(requested.height())};
    // The preference is asked once at most, and only of a window that ended up with another size.
    std::optional<bool> centring;
    auto centres = [&] {
        if (!centring) centring = centersWindowsThatCannotFill && centersWindowsThatCannotFill();
        return *centring;
    };
    std::optional<Size> step;
    bool unanswered = false;
    bool shadowKept = false;
    auto result = [&](std::optional<Rect> achieved) {
        SetFrameResult made{requested, achieved, step, step && centring.value_or(false)};
        made.unanswered = unanswered && !made.succeeded();
        made.shadowKeptOnScreen = shadowKept && !made.succeeded();
        return made;
    };

    // With no window manager to carry them out, the writes fail at once; a second attempt would too.
    unanswered = writePosition(element, origin) == AXError::cannotComplete;
    unanswered = writeSize(element, size) == AXError::cannotComplete || unanswered;
    std::optional<Rect> achieved = readBack(element);
    if (achieved && CoordinateSpace::approximatelyEqual(*achieved, requested, frameTolerance)) return result(achieved);
    if (unanswered) return result(achieved);
    // A window whose size goes in steps (a terminal's character cells) takes the largest size that
    // fits: that is the best it can do, not a refusal. Asked only when the frame is off.
    step = copySizeAttribute(ax::sizeIncrementAttribute, element);
    if (achieved && step) {
        if (auto placed = placeStepped(requested, *achieved, *step, centres(), element)) return *placed;
    }

    // A window kept inside the screen can refuse a position its old size does not fit at, or a
    // size its old position does not leave room for: shrink first, then move, then size again.
    writeSize(element, size);
    writePosition(element, origin);
    writeSize(element, size);
    achieved = readBack(element);
    if (!achieved) return result(std::nullopt);
    if (CoordinateSpace::approximatelyEqual(*achieved, requested, frameTolerance)) return result(achieved);
    if (step) {
        if (auto placed = placeStepped(requested, *achieved, *step, centres(), element)) return *placed;
    }

    // Why, where the desktop can tell: a window manager that keeps the window's shadow on the screen.
    shadowKept = copyBoolAttribute(ax::shadowKeptOnScreenAttribute, element).value_or(false);
    log.notice("setFrame mismatch pid " + std::to_string(window.pid) + ": wanted " + text(requested) + " got " +
               text(*achieved));

    Point target = achieved->origin;
    if (centres()) {
        if (const auto centered = UnfitWindowPlacement::centeredFrame(achieved->size, requested, frameTolerance)) {
            target = centered->origin;
        }
    }
    // A window larger than the frame (its least size is larger) would reach past the zone's
    // display: it stays wholly on the display's work area, as near the frame as it can.
    if (achieved->width() > requested.width() + frameTolerance || achieved->height() > requested.height() + frameTolerance) {
        target = UnfitWindowPlacement::keptOnWorkArea(target, achieved->size, requested);
    }
    if (target == achieved->origin) return result(achieved);
    writePosition(element, target);
    if (const std::optional<Rect> moved = readBack(element)) return result(moved);
    return result(Rect(target, achieved->size));
}

bool AXWindowEngine::isInPlace(const WindowHandle& window, const Rect& current, const Rect& target) {
    if (CoordinateSpace::approximatelyEqual(current, target, frameTolerance)) return true;
    const std::optional<Size> step = copySizeAttribute(ax::sizeIncrementAttribute, window.element);
    if (!step) return false;
    return SetFrameResult::takes(target, current, step, centersWindowsThatCannotFill && centersWindowsThatCannotFill());
}

std::optional<Size> AXWindowEngine::minimumSize(const WindowHandle& window) {
    return copySizeAttribute(ax::minimumSizeAttribute, window.element);
}

void AXWindowEngine::raise(const WindowHandle& window) {
    accessibility_.performAction(window.element, ax::raiseAction);
    if (workspace_.runningApplication(window.pid)) workspace_.activate(window.pid);
}

// -- diagnostics -------------------------------------------------------------------------------

std::map<std::string, std::string> AXWindowEngine::focusedWindowDiagnostics() {
    std::map<std::string, std::string> report;
    const std::optional<RunningApplication> app = workspace_.frontmostApplication();
    if (!app) {
        report["frontmostApplication"] = "none";
        return report;
    }
    report["pid"] = std::to_string(app->pid);
    report["name"] = app->localizedName;
    report["isActive"] = "true";
    report["activationPolicy"] = policyText(app->activationPolicy);
    report["isTerminated"] = app->isTerminated ? "true" : "false";

    const AXElement appElement = applicationElement(app->pid);
    report["appRole"] = copyStringAttribute(ax::roleAttribute, appElement).value_or("(unreadable)");
    const Expected<AXValue, AXError> focused = accessibility_.copyAttributeValue(appElement, ax::focusedWindowAttribute);
    if (!focused) {
        report["focusedWindowError"] = std::to_string(axErrorCode(focused.error()));
    } else if (const AXElement* window = std::get_if<AXElement>(&focused.value())) {
        report["focusedWindowIsElement"] = "true";
        report["focusedWindowEqualsApp"] = *window == appElement ? "true" : "false";
        const Expected<ProcessID, AXError> pid = accessibility_.pid(*window);
        report["focusedWindowPIDMatches"] = pid && pid.value() == app->pid ? "true" : "false";
        report["focusedWindowRole"] = copyStringAttribute(ax::roleAttribute, *window).value_or("(unreadable)");
        report["focusedWindowTitle"] = copyStringAttribute(ax::titleAttribute, *window).value_or("(unreadable)");
        if (const auto position = copyPointAttribute(ax::positionAttribute, *window)) {
            report["focusedWindowPosition"] = text(*position);
        }
        if (const auto size = copySizeAttribute(ax::sizeAttribute, *window)) report["focusedWindowSize"] = text(*size);
    } else {
        report["focusedWindowIsElement"] = "false";
    }

    const Expected<AXValue, AXError> windows = accessibility_.copyAttributeValue(appElement, ax::windowsAttribute);
    if (!windows) {
        report["windowsError"] = std::to_string(axErrorCode(windows.error()));
        return report;
    }
    const auto* list = std::get_if<std::vector<AXElement>>(&windows.value());
    report["windowsType"] = list ? "array" : "other";
    if (!list) return report;
    report["windowsCount"] = std::to_string(list->size());
    for (std::size_t i = 0; i < list->size(); ++i) {
        const AXElement& window = (*list)[i];
        const std::string prefix = "window" + std::to_string(i) + ".";
        report[prefix + "role"] = copyStringAttribute(ax::roleAttribute, window).value_or("(unreadable)");
        report[prefix + "subrole"] = copyStringAttribute(ax::subroleAttribute, window).value_or("(unreadable)");
        report[prefix + "title"] = copyStringAttribute(ax::titleAttribute, window).value_or("(unreadable)");
        const std::optional<bool> minimized = copyBoolAttribute(ax::minimizedAttribute, window);
        report[prefix + "minimized"] = minimized ? (*minimized ? "true" : "false") : "(unreadable)";
        const std::optional<Rect> frame = readBack(window);
        report[prefix + "frame"] = frame ? text(*frame) : "(unreadable)";
    }
    return report;
}

std::map<std::string, std::string> AXWindowEngine::hitTestDiagnostics(Point at) {
    std::map<std::string, std::string> report;
    const Expected<AXElement, AXError> hit =
        accessibility_.copyElementAtPosition(systemWide, static_cast<float>(at.x), static_cast<float>(at.y));
    if (!hit) {
        report["hitError"] = std::to_string(axErrorCode(hit.error()));
        return report;
    }
    const Expected<ProcessID, AXError> pid = accessibility_.pid(hit.value());
    report["hitPID"] = pid ? std::to_string(pid.value()) : "(unreadable)";
    report["hitRole"] = copyStringAttribute(ax::roleAttribute, hit.value()).value_or("(unreadable)");
    const std::optional<AXElement> window = copyElementAttribute(ax::windowAttribute, hit.value());
    if (!window) {
        report["window"] = "no AXWindow attribute";
        return report;
    }
    report["windowTitle"] = copyStringAttribute(ax::titleAttribute, *window).value_or("(unreadable)");
    report["windowSubrole"] = copyStringAttribute(ax::subroleAttribute, *window).value_or("(unreadable)");
    if (const auto position = copyPointAttribute(ax::positionAttribute, *window)) report["windowPosition"] = text(*position);
    if (const auto size = copySizeAttribute(ax::sizeAttribute, *window)) report["windowSize"] = text(*size);
    report["windowEqualsHit"] = *window == hit.value() ? "true" : "false";
    return report;
}

}  // namespace tessary
