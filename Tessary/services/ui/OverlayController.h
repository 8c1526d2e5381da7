#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "Platform/Logger.h"
#include "Platform/Scheduler.h"
#include "Tessary/services/OverlayPresenting.h"
#include "Tessary/services/Preferences.h"
#include "Tessary/services/PreviewPresenting.h"

namespace tessary {

class ZoneOverlayPanel;

// Zones to highlight on one display.
struct OverlayHighlight {
    std::vector<std::int64_t> indices;
    DisplayInfo display;
};

// Owns one overlay panel per display, keyed by display number, and shows, highlights and hides
// them for a drag, the layout editor's preview and the zone flashes. Panels are created the first
// time their display is shown, reused afterwards (also after hide()), and dropped by the first
// show that no longer lists their display. Main thread only.
//
// Two kinds of presentation share the panels. A show() (a drag, the editor's preview) stays until
// hide(). A flash() shows for a while and then hides itself; it never replaces or hides a show():
// while a show is on screen a flash is refused, and a show that starts during a flash takes the
// panels over and keeps them until its own hide().
//
// The layout editor's preview is a third owner (PreviewPresenting): it shows like a show() and
// refuses flashes the same way, but a drag's show() takes precedence: a preview asked for during
// a drag waits, the drag's hide() brings it back, and hidePreview() hides nothing of a drag.
class OverlayController final : public OverlayPresenting, public PreviewPresenting {
public:
    OverlayController(Preferences& preferences, Scheduler& scheduler);
    ~OverlayController() override;
    OverlayController(const OverlayController&) = delete;
    OverlayController& operator=(const OverlayController&) = delete;

    void show(const std::vector<OverlayItem>& items) override;
    void setHighlighted(const std::vector<std::int64_t>& indices, const DisplayInfo& display,
                        std::string_view note) override;
    void hide() override;

    // Shows the items (with the highlight, when given) and hides them after the duration, unless
    // a show or a later flash came in between. Gives false, and changes nothing, while a show is
    // on screen. Of two flashes in a row, the later one hides, its own duration after it started.
    bool flash(const std::vector<OverlayItem>& items, Scheduler::Duration duration,
               const std::optional<OverlayHighlight>& highlight = std::nullopt);

    void showPreview(const std::vector<OverlayItem>& items) override;
    void hidePreview() override;
    // True while a preview is asked for, shown or waiting under a drag.
    bool hasPreview() const { return preview_.has_value(); }

    // True from a show or flash until it is hidden.
    bool isShowing() const { return isShowing_; }
    // True while what is on screen is a flash.
    bool isFlashing() const { return isShowing_ && flashing_; }
    // Advanced by every show and flash; a flash hides only while it is unchanged.
    std::int64_t flashGeneration() const { return flashGeneration_; }

    // The panel of a display, when it has one.
    ZoneOverlayPanel* panel(std::uint32_t displayID) const;
    std::size_t panelCount() const { return panels_.size(); }

    // Whether a compositor runs, asked at every show (the program answers from a
    // CompositorWatcher, without a request): without one the panels draw opaque outlines only,
    // since transparent pixels would show black, and their windows are shaped to them. A
    // compositor that starts or stops changes the mode at the next show. Unset means one runs.
    std::function<bool()> isCompositing;

    // How long hidden panels keep their pixels (window buffers and drawn tiles) for the next show.
    Scheduler::Duration idleRelease = std::chrono::seconds(10);
    // Run after that release: what gives the freed memory back to the system (the program's).
    std::function<void()> afterIdleRelease;

private:
    void present(const std::vector<OverlayItem>& items);
    void cancelFlashTimer();

    Preferences& preferences_;
    Scheduler& scheduler_;
    std::map<std::uint32_t, std::unique_ptr<ZoneOverlayPanel>> panels_;
    std::int64_t flashGeneration_ = 0;
    bool isShowing_ = false;
    bool flashing_ = false;
    // A drag's show() is on screen (until its hide()).
    bool dragShowing_ = false;
    std::optional<std::vector<OverlayItem>> preview_;
    ScheduledTask flashTimer_;
    ScheduledTask releaseTimer_;
    Logger log_{"Overlay"};
};

}  // namespace tessary
