#include "Tessary/services/DragSnapController.h"

#include <chrono>
#include <cmath>
#include <utility>

#include "Tessary/services/Preferences.h"
#include "Tessary/services/ZoneService.h"
#include "TessaryCore/ZoneHitTest.h"

namespace tessary {

DragSnapController::DragSnapController(WindowEngine& engine, const Preferences& preferences,
                                       OverlayPresenting& overlay, DisplaysReader displays, ZonesReader zonesFor,
                                       Scheduler& scheduler)
    : isExcluded([](const WindowInfo& info) { return !info.isStandard; }),
      engine_(engine),
      preferences_(preferences),
      overlay_(overlay),
      displays_(std::move(displays)),
      zonesFor_(std::move(zonesFor)),
      scheduler_(scheduler) {}

DragSnapController::~DragSnapController() {
    // A pending retry holds the engine, which need not outlive the controller.
    for (const auto task : retries_) scheduler_.cancel(task);
    scheduler_.cancel(moveRecheck_);
    scheduler_.cancel(pressRetry_);
}

bool DragSnapController::hasMovedFromStart(const Rect& frame) const {
    const bool movedX = std::abs(frame.minX() - startFrame_.minX()) > movementThreshold;
    const bool movedY = std::abs(frame.minY() - startFrame_.minY()) > movementThreshold;
    if (!movedX && !movedY) return false;
    const bool sizeKept = std::abs(frame.width() - startFrame_.width()) <= frameTolerance &&
                          std::abs(frame.height() - startFrame_.height()) <= frameTolerance;
    if (sizeKept) return true;
    // The size changed as well. Dragging the left or top edge (or the top-left corner) moves the
    // origin while the opposite edge stays: that is a resize, and the zones must not appear for it.
    // A window that changes size while it is dragged (a maximised one restored by the window
    // manager) moves its opposite edges too, and is still a drag.
    const bool rightEdgeStayed = std::abs(frame.maxX() - startFrame_.maxX()) <= frameTolerance;
    const bool bottomEdgeStayed = std::abs(frame.maxY() - startFrame_.maxY()) <= frameTolerance;
    const bool resizedByEdges = (!movedX || rightEdgeStayed) && (!movedY || bottomEdgeStayed);
    return !resizedByEdges;
}

void DragSnapController::reset() {
    if (phase_ == Phase::snapping) overlay_.hide();
    scheduler_.cancel(moveRecheck_);
    moveRecheck_ = {};
    scheduler_.cancel(std::exchange(pressRetry_, {}));
    phase_ = Phase::idle;
    pressedOnTitleBar_ = false;
    released_.reset();
    window_.reset();
    selection_.removeAll();
    activeDisplay_.reset();
    activeItem_.reset();
    lastHighlight_.reset();
    shown_.clear();
}

void DragSnapController::mouseDown(InputModifiers modifiers, Point at) {
    // The user's next drag: a window dropped before must not move under it any more.
    for (const auto task : std::exchange(retries_, {})) scheduler_.cancel(task);
    reset();
    modifiers_ = modifiers;
    lastMouse_ = at;
    mouseDownAt_ = at;
    pressRetriesLeft_ = pressRetries;
    if (!takePressedWindow(at)) pressRetry_ = scheduler_.schedule(pressRetryDelay, [this] { retryPress(); });
}

void DragSnapController::retryPress() {
    pressRetry_ = {};
    if (phase_ != Phase::idle) return;
    if (!takePressedWindow(mouseDownAt_)) {
        if (--pressRetriesLeft_ > 0) pressRetry_ = scheduler_.schedule(pressRetryDelay, [this] { retryPress(); });
        return;
    }
    // The drag went on meanwhile: catch up with where the pointer is.
    if (phase_ == Phase::tracking && lastMouse_ != mouseDownAt_) mouseDragged(modifiers_, lastMouse_);
}

const std::string& DragSnapController::pressedApplication() {
    if (!application_) {
        application_ = applicationName ? applicationName(*pressedInfo_) : pressedInfo_->bundleIdentifier.value_or("");
    }
    return *application_;
}

bool DragSnapController::takePressedWindow(Point at) {
    const auto hit = engine_.windowHit(at);
    if (!hit) return false;
    const auto info = engine_.info(hit->window);
    if (!info) return false;
    if (isExcluded && isExcluded(*info)) return true;
    window_ = hit->window;
    pressedInfo_ = *info;
    minimumSize_.reset();
    application_.reset();
    pressedOnTitleBar_ = hit->onTitleBar;
    startFrame_ = info->frame;
    phase_ = Phase::tracking;
    moveRechecksLeft_ = moveRechecks;
    return true;
}

void DragSnapController::mouseDragged(InputModifiers modifiers, Point at) {
    modifiers_ = modifiers;
    lastMouse_ = at;
    if (phase_ == Phase::idle || !window_) return;
    const bool activationHeld = isHeld(preferences_.activationModifier(), modifiers);

    if (phase_ == Phase::tracking) {
        if (activationHeld) startSnappingIfMoved(at);
        return;
    }

    if (activationHeld) {
        updateHighlight(at);
        return;
    }
    // The activation key was let go: keep the selection for a mouse-up that follows at once.
    if (activeDisplay_ && !selection_.isEmpty()) {
        released_ = Released{scheduler_.now(), *activeDisplay_, selection_};
    }
    phase_ = Phase::tracking;
    selection_.removeAll();
    activeDisplay_.reset();
    activeItem_.reset();
    lastHighlight_.reset();
    shown_.clear();
    overlay_.hide();
}

bool DragSnapController::frameMoved(bool travelled) {
    const auto frame = engine_.frame(*window_);
    if (!frame) return false;
    // The frame read may be older than the window manager's latest move: a window that has begun to
    // follow the pointer, its size untouched, is being dragged once the pointer is past the threshold.
    const bool following = travelled && frame->origin != startFrame_.origin &&
                           std::abs(frame->width() - startFrame_.width()) < 0.5 &&
                           std::abs(frame->height() - startFrame_.height()) < 0.5;
    if (hasMovedFromStart(*frame) || following) return true;
    // The pointer has travelled past the threshold but the window has not moved at all: either
    // the window manager has not moved it yet, or the drag is inside the window (selecting text),
    // which must show nothing. Only the window's own frame tells them apart, a moment later.
    if (travelled && *frame == startFrame_ && !moveRecheck_ && moveRechecksLeft_ > 0) {
        --moveRechecksLeft_;
        moveRecheck_ = scheduler_.schedule(moveRecheckDelay, [this] {
            moveRecheck_ = {};
            if (phase_ == Phase::tracking && window_ && isHeld(preferences_.activationModifier(), modifiers_)) {
                startSnappingIfMoved(lastMouse_);
            }
        });
    }
    return false;
}

bool DragSnapController::startSnappingIfMoved(Point at) {
    const bool travelled = std::abs(at.x - mouseDownAt_.x) > movementThreshold ||
                           std::abs(at.y - mouseDownAt_.y) > movementThreshold;
    // Dragged by its title bar, the window follows the pointer: the pointer's travel decides, and
    // its frame, likely read before the window manager's move, would tell nothing more.
    if (pressedOnTitleBar_ ? !travelled : !frameMoved(travelled)) return false;
    scheduler_.cancel(moveRecheck_);
    moveRecheck_ = {};
    phase_ = Phase::snapping;
    released_.reset();
    lastHighlight_.reset();
    showZones();
    // Asked once the show is on its way, so that it does not wait for the answer.
    if (!minimumSize_) minimumSize_ = engine_.minimumSize(*window_).value_or(Size{0, 0});
    updateHighlight(at);
    return true;
}

void DragSnapController::showZones() {
    shown_.clear();
    for (auto& display : displays_()) {
        auto zones = zonesFor_(display);
        shown_.push_back(OverlayItem{std::move(display), std::move(zones)});
    }
    activeItem_.reset();
    overlay_.show(shown_);
}

void DragSnapController::layoutChanged() {
    if (phase_ != Phase::snapping) return;
    showZones();
    // The new overlay highlights nothing; the selection stays when its display is still there.
    lastHighlight_.reset();
    updateHighlight(lastMouse_);
}

void DragSnapController::modifiersChanged(InputModifiers modifiers) {
    if (phase_ != Phase::idle) {
        mouseDragged(modifiers, lastMouse_);
    } else {
        modifiers_ = modifiers;
    }
}

void DragSnapController::updateHighlight(Point at) {
    if (phase_ != Phase::snapping) return;
    std::size_t item = 0;
    while (item < shown_.size() && !shown_[item].display.frame.contains(at)) ++item;
    if (item == shown_.size()) {
        selection_.removeAll();
        if (activeDisplay_) overlay_.setHighlighted({}, *activeDisplay_, {});
        activeDisplay_.reset();
        activeItem_.reset();
        lastHighlight_.reset();
        return;
    }
    const DisplayInfo& display = shown_[item].display;
    if (activeItem_ != item) {
        if (!activeDisplay_ || *activeDisplay_ != display) {
            if (activeDisplay_) overlay_.setHighlighted({}, *activeDisplay_, {});
            // Another display starts a new selection, even with the span key held.
            selection_.removeAll();
            activeDisplay_ = display;
            lastHighlight_.reset();
        }
        activeItem_ = item;
    }
    const auto zone = ZoneHitTest::zoneAt(at, shown_[item].zones);
    const bool spanHeld = isHeld(preferences_.spanModifier(), modifiers_);
    if (zone) {
        if (spanHeld) {
            selection_.insert(zone->index);
        } else {
            selection_.select(zone->index);
        }
    } else if (!spanHeld) {
        selection_.removeAll();
    }
    if (lastHighlight_ && lastHighlight_->display == display.displayID &&
        lastHighlight_->indices == selection_.zoneIndices) {
        return;
    }
    lastHighlight_ = Highlight{display.displayID, selection_.zoneIndices};
    // A window whose least size is larger than the zones would not land in them: the hint says so.
    std::string note;
    if (minimumSize_ && (minimumSize_->width > 0 || minimumSize_->height > 0)) {
        const auto rect = selection_.unionRect(shown_[item].zones);
        if (rect && !ZoneService::fits(*minimumSize_, rect->size)) {
            note = ZoneService::doesNotFitText(pressedApplication(), *minimumSize_, rect->size);
        }
    }
    overlay_.setHighlighted(selection_.zoneIndices, display, note);
}

void DragSnapController::mouseUp(InputModifiers modifiers, Point at) {
    modifiers_ = modifiers;
    lastMouse_ = at;
    if (phase_ == Phase::idle || !window_) {
        reset();
        return;
    }
    const WindowHandle window = *window_;
    bool dropped = false;
    // Zones on screen promise the drop, whether or not the window manager moved the window on the
    // way (openbox moves no window whose title bar is dragged with Shift held from the press).
    if (phase_ == Phase::snapping) {
        // The zone under the final point counts.
        updateHighlight(at);
        // Into the zones the user saw.
        if (activeDisplay_ && activeItem_) {
            if (const auto rect = selection_.unionRect(shown_[*activeItem_].zones)) {
                drop(*rect, window, *activeDisplay_);
                dropped = true;
            }
        }
    } else if (phase_ == Phase::tracking && released_ && scheduler_.now() - released_->at <= releaseGrace) {
        const Released released = *released_;
        if (const auto rect = released.selection.unionRect(zonesFor_(released.display))) {
            selection_ = released.selection;
            drop(*rect, window, released.display);
            dropped = true;
        }
    }
    if (!dropped) {
        const auto frame = engine_.frame(window);
        if (frame && hasMovedFromStart(*frame) && onDragEndedWithoutSnap) onDragEndedWithoutSnap(window);
    }
    reset();
}

void DragSnapController::drop(const Rect& frame, const WindowHandle& window, const DisplayInfo& display) {
    const SetFrameResult result = engine_.setFrame(frame, window);
    if (result.succeeded()) {
        if (onSnap) onSnap(window, display, selection_, frame);
        return;
    }
    // One more try a moment later, with what holds now: the reset that follows at once, and any later
    // drag, leave it alone.
    auto task = std::make_shared<ScheduledTask>();
    *task = scheduler_.schedule(
        dropRetryDelay, [this, task, engine = &engine_, window, frame, display, selection = selection_,
                         handler = onSnap] {
            std::erase(retries_, *task);
            const SetFrameResult retry = engine->setFrame(frame, window);
            if (retry.succeeded() && handler) {
                handler(window, display, selection, frame);
            }
        });
    retries_.push_back(*task);
}

}  // namespace tessary
