#include <gtest/gtest.h>

#include <limits>

#include "Tessary/services/OverlayModel.h"

using namespace tessary;

namespace {

std::vector<Zone> threeColumns() {
    return {{0, Rect(0, 0, 100, 200)}, {1, Rect(100, 0, 100, 200)}, {2, Rect(200, 0, 100, 200)}};
}

struct Recorder {
    int count = 0;
    bool zonesChanged = false;
    std::vector<std::int64_t> toggled;
    std::vector<std::int64_t> highlight;

    void attach(OverlayModel& model) {
        model.onChange = [this](const OverlayModelChange& change) {
            ++count;
            zonesChanged = change.zonesChanged;
            toggled.assign(change.toggled.begin(), change.toggled.end());
            highlight.assign(change.highlight.begin(), change.highlight.end());
        };
    }
};

}  // namespace

TEST(OverlayModel, TellsOnlyOfRealChangesAndWhichZonesFlipped) {
    OverlayModel model;
    Recorder recorder;
    recorder.attach(model);

    model.setZones(threeColumns());
    EXPECT_EQ(recorder.count, 1);
    EXPECT_TRUE(recorder.zonesChanged);
    model.setZones(threeColumns());  // equal: nothing
    EXPECT_EQ(recorder.count, 1);

    const std::vector<std::int64_t> first{2, 0, 2};
    model.setHighlighted(first);
    EXPECT_EQ(recorder.count, 2);
    EXPECT_FALSE(recorder.zonesChanged);
    EXPECT_EQ(model.highlighted(), (std::vector<std::int64_t>{0, 2}));  // repeats collapse
    EXPECT_EQ(recorder.toggled, (std::vector<std::int64_t>{0, 2}));

    const std::vector<std::int64_t> same{0, 2};
    model.setHighlighted(same);  // the same set in another order
    EXPECT_EQ(recorder.count, 2);

    const std::vector<std::int64_t> moved{2, 1};
    model.setHighlighted(moved);
    EXPECT_EQ(recorder.toggled, (std::vector<std::int64_t>{0, 1}));
    EXPECT_EQ(recorder.highlight, (std::vector<std::int64_t>{1, 2}));
    EXPECT_TRUE(model.isHighlighted(1));
    EXPECT_FALSE(model.isHighlighted(0));

    model.clearHighlight();
    EXPECT_EQ(recorder.toggled, (std::vector<std::int64_t>{1, 2}));
    model.clearHighlight();
    EXPECT_EQ(recorder.count, 4);
}

TEST(OverlayText, HintAndLabels) {
    const std::vector<std::int64_t> one{2}, several{0, 1, 3}, none{};
    EXPECT_EQ(overlaytext::hintTitle(one), "Drop in zone 3");
    EXPECT_EQ(overlaytext::hintTitle(several), "Span zones 1 + 2 + 4");
    EXPECT_EQ(overlaytext::hintTitle(none), "Drop in zone ");
    EXPECT_EQ(overlaytext::hintSpanAdvice(SpanModifier::control, 1), "hold Ctrl to span");
    EXPECT_EQ(overlaytext::hintSpanAdvice(SpanModifier::command, 1), "hold Super to span");
    EXPECT_EQ(overlaytext::hintSpanAdvice(SpanModifier::control, 2), "");
    EXPECT_EQ(overlaytext::hintSpanAdvice(SpanModifier::none, 1), "");

    // Numbers come from stored layouts: no index may overflow when one is added.
    EXPECT_EQ(overlaytext::zoneNumber(std::numeric_limits<std::int64_t>::max()), "9223372036854775808");
    EXPECT_EQ(overlaytext::zoneNumber(std::numeric_limits<std::int64_t>::min()), "-9223372036854775807");

    EXPECT_EQ(overlaytext::sizeLabel(Rect(0, 0, 960.5, 1050)), "960 \u00d7 1050");
    EXPECT_EQ(overlaytext::sizeLabel(Rect(0, 0, 1e300, std::numeric_limits<double>::quiet_NaN())),
              "9223372036854775807 \u00d7 0");

    struct Case {
        Rect rect;
        double fontSize;
        bool label;
    };
    const Case cases[] = {
        {Rect(0, 0, 30, 30), 14, false},
        {Rect(0, 0, 900, 600), 72, true},
        {Rect(0, 0, 300, 120), 40, false},
        {Rect(0, 0, 140, 300), 140.0 / 3, false},
        {Rect(0, 0, 141, 121), 121.0 / 3, true},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(overlaytext::badgeFontSize(c.rect), c.fontSize) << c.rect;
        EXPECT_EQ(overlaytext::showsSizeLabel(c.rect), c.label) << c.rect;
    }
}
