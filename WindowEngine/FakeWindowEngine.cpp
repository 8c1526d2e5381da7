#include "WindowEngine/FakeWindowEngine.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace tessary {

bool FakeWindowEngine::HandleOrder::operator()(const WindowHandle& a, const WindowHandle& b) const {
    const AXElement& x = a.element;
    const AXElement& y = b.element;
    return std::tie(x.kind, x.pid, x.window, x.token) < std::tie(y.kind, y.pid, y.window, y.token);
}

WindowHandle FakeWindowEngine::addWindow(std::optional<std::string> bundleIdentifier, ProcessID pid,
                                         std::optional<std::string> title, const Rect& frame, Size minimumSize,
                                         bool focus) {
    const WindowHandle handle(pid, AXElement::application(nextElementPID));
    nextElementPID += 1;
    windowTable.insert_or_assign(
        handle, Window{WindowInfo{handle, std::move(bundleIdentifier), std::move(title), frame, false, true}, minimumSize,
                       0, std::nullopt});
    if (focus) focused = handle;
    return handle;
}

void FakeWindowEngine::removeWindow(const WindowHandle& window) {
    windowTable.erase(window);
    if (focused == window) focused.reset();
}

std::optional<WindowHandle> FakeWindowEngine::focusedWindow() { return focused; }

std::optional<WindowHandle> FakeWindowEngine::focusedWindow(const std::string& bundleIdentifier) {
    if (focused) {
        if (auto found = windowTable.find(*focused);
            found != windowTable.end() && found->second.info.bundleIdentifier == bundleIdentifier) {
            return focused;
        }
    }
    for (const auto& [handle, window] : windowTable) {
        if (window.info.bundleIdentifier == bundleIdentifier) return handle;
    }
    return std::nullopt;
}

std::optional<WindowHandle> FakeWindowEngine::window(Point at) {
    for (const auto& [handle, window] : windowTable) {
        if (window.info.frame.contains(at)) return handle;
    }
    return std::nullopt;
}

std::optional<WindowHit> FakeWindowEngine::windowHit(Point at) {
    for (const auto& [handle, window] : windowTable) {
        const Rect& frame = window.info.frame;
        if (frame.contains(at)) return WindowHit{handle, at.y < frame.minY() + window.titleBarHeight};
    }
    return std::nullopt;
}

std::vector<WindowHandle> FakeWindowEngine::windows(ProcessID pid) {
    std::vector<WindowHandle> result;
    for (const auto& [handle, window] : windowTable) {
        if (handle.pid == pid) result.push_back(handle);
    }
    return result;
}

std::vector<WindowHandle> FakeWindowEngine::allWindows() {
    std::vector<WindowHandle> result;
    for (const auto& [handle, window] : windowTable) result.push_back(handle);
    return result;
}

std::optional<WindowInfo> FakeWindowEngine::info(const WindowHandle& window) {
    auto found = windowTable.find(window);
    if (found == windowTable.end()) return std::nullopt;
    return found->second.info;
}

std::optional<Rect> FakeWindowEngine::frame(const WindowHandle& window) {
    auto found = windowTable.find(window);
    if (found == windowTable.end()) return std::nullopt;
    return found->second.info.frame;
}

SetFrameResult FakeWindowEngine::setFrame(const Rect& frame, const WindowHandle& window) {
    setFrameCalls.push_back({window, frame});
    auto found = windowTable.find(window);
    if (found == windowTable.end()) return SetFrameResult{frame, std::nullopt};
    Window& stored = found->second;
    if (!windowManagerRuns) {
        SetFrameResult unanswered{frame, stored.info.frame};
        unanswered.unanswered = !unanswered.succeeded();
        return unanswered;
    }
    Size size{std::max(frame.width(), stored.minimumSize.width), std::max(frame.height(), stored.minimumSize.height)};
    if (const auto step = stored.sizeIncrement) {
        auto stepped = [](double length, double least, double by) {
            return by > 0 ? least + std::floor((length - least) / by) * by : length;
        };
        size = Size{stepped(size.width, stored.minimumSize.width, step->width),
                    stepped(size.height, stored.minimumSize.height, step->height)};
    }
    const Rect taken(frame.origin, size);
    stored.info.frame = taken;
    return SetFrameResult{frame, taken, stored.sizeIncrement};
}

bool FakeWindowEngine::isInPlace(const WindowHandle& window, const Rect& current, const Rect& target) {
    auto found = windowTable.find(window);
    const std::optional<Size> step = found != windowTable.end() ? found->second.sizeIncrement : std::nullopt;
    return SetFrameResult::takes(target, current, step, false);
}

std::optional<Size> FakeWindowEngine::minimumSize(const WindowHandle& window) {
    auto found = windowTable.find(window);
    if (found == windowTable.end()) return std::nullopt;
    const Size least = found->second.minimumSize;
    if (least.width <= 0 && least.height <= 0) return std::nullopt;
    return least;
}

void FakeWindowEngine::raise(const WindowHandle& window) {
    raised.push_back(window);
    focused = window;
}

}  // namespace tessary
