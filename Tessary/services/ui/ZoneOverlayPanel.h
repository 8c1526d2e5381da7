#pragma once

#include <QRect>
#include <QWidget>

#include <vector>

#include "Tessary/services/OverlayModel.h"
#include "Tessary/shell/Preferences.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

class ZoneOverlayView;

// The overlay window of one display: an override-redirect, input-transparent, always-on-top
// window with an alpha channel that covers the display's whole frame and hosts a ZoneOverlayView
// of its own model. Without a compositor its X window is shaped to what the view draws (the
// view's shape()), so the windows beneath stay visible; with one it is unshaped and translucent. The window manager never sees it, so it is never focused, decorated, listed
// or moved; it is created once and shown again and again.
//
// Hidden, it keeps its widgets, its X window and, until releaseBuffers(), its pixels: a
// window-sized buffer (about 8 MB for a 1920x1080 display, in shared memory with the X server,
// which keeps a pixmap of the same size) and the view's image of its tiles. The overlay controller
// releases them once the overlay has been idle for a while; the next show then pays for new ones,
// a few milliseconds per display.
class ZoneOverlayPanel final : public QWidget {
    Q_OBJECT

public:
    ZoneOverlayPanel(const DisplayInfo& display, Preferences& preferences);
    ~ZoneOverlayPanel() override;

    OverlayModel& model() { return model_; }
    const OverlayModel& model() const { return model_; }
    ZoneOverlayView& view() { return *view_; }
    const DisplayInfo& display() const { return display_; }

    // Stores the display and moves the window over its frame.
    void configure(const DisplayInfo& display);

    // A screen as Qt reports it: its geometry in logical pixels and its device pixel ratio.
    struct ScreenGeometry {
        QRect logical;
        double devicePixelRatio = 1;
    };
    struct Placement {
        QRect logical;
        double devicePixelRatio = 1;
    };
    // Where a frame in points (the desktop's pixels) lies in Qt's logical coordinates. Qt keeps a
    // screen's origin in device pixels and divides its size by the ratio, so a frame is placed
    // relative to the screen that holds its centre; without one, the first screen's ratio is used.
    static Placement placement(const Rect& frame, const std::vector<ScreenGeometry>& screens);

    // Frees the pixels of a hidden panel: the window's buffer and the view's drawn tiles. The next
    // show allocates them anew and repaints the whole window.
    void releaseBuffers();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    OverlayModel model_;
    DisplayInfo display_;
    ZoneOverlayView* view_;
};

}  // namespace tessary
