#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "Tessary/shell/LayoutThumbnailModel.h"
#include "TessaryCore/ZoneLayout.h"

class QPainter;
class QPalette;

namespace tessary {

// The small picture of a layout: its zones as the zone geometry places them, scaled into a 1.6 : 1
// box on a faint rounded background. The whole layout or single zones can be lit; with a tap
// handler each zone takes clicks and the lit ones are drawn as picked (white border).
//
// Colours follow the palette: the accent is the highlight colour, the primary the window text.
// The picture is recomputed from the fields at every paint; the widget keeps no other state.
//
// Accessibility: the thumbnail is named after its layout, and each zone is a child of its own,
// "Zone N" (from 1), valued "selected" while lit and marked selected; with a tap handler each zone
// is a button whose press action taps it, without one a picture. A decoration can be hidden from
// screen readers: then it is invisible to them and has no children.
class LayoutThumbnail final : public QWidget {
    Q_OBJECT

public:
    explicit LayoutThumbnail(ZoneLayout layout, QWidget* parent = nullptr);

    void setLayout(ZoneLayout layout);
    const ZoneLayout& layout() const { return layout_; }
    void setHighlighted(bool highlighted);
    bool highlighted() const { return highlighted_; }
    void setHighlightedZones(std::set<std::int64_t> zones);
    const std::set<std::int64_t>& highlightedZones() const { return highlightedZones_; }
    // Present: each zone is a button calling the handler with its index. Absent: a picture only.
    void setOnTapZone(std::function<void(std::int64_t)> handler);

    void setAccessibilityHidden(bool hidden) { accessibilityHidden_ = hidden; }
    bool isAccessibilityHidden() const { return accessibilityHidden_; }

    // Fixes the width and the 1.6 : 1 height that goes with it.
    void setThumbnailWidth(int width);

    // Draws a layout's picture into `box` (centred at 1.6 : 1) as the widget draws itself; for views
    // that draw many layouts without a widget each.
    static void paint(QPainter& painter, const QRectF& box, const ZoneLayout& layout, bool highlighted,
                      const std::set<std::int64_t>& highlightedZones, bool tappable, const QPalette& palette);

    // The zones as drawn, in the widget's coordinates, and a tap on one (what a click does).
    std::vector<LayoutThumbnailModel::ThumbnailZone> shownZones() const;
    bool takesTaps() const { return bool(onTapZone_); }
    void tapZone(std::int64_t index);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRectF pictureRect() const;
    void updateAccessibility();

    ZoneLayout layout_;
    bool highlighted_ = false;
    std::set<std::int64_t> highlightedZones_;
    std::function<void(std::int64_t)> onTapZone_;
    bool accessibilityHidden_ = false;
};

}  // namespace tessary
