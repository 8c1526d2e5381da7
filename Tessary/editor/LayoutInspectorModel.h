#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Tessary/editor/LayoutEditorModel.h"
#include "WindowEngine/DisplayInfo.h"

namespace tessary {

// What the inspector beside the editor shows of the selected layout, and what its controls do.
// The content is read afresh from the library on each refill; only the actions below change it,
// and the widget calls them for user edits alone, never while refilling, so that showing a layout
// never renames, re-gaps, re-assigns, restamps or saves it.
class LayoutInspectorModel final {
public:
    struct DisplayToggle {
        DisplayInfo display;
        std::string title;  // the display's name as the desktop gives it, untranslated
        bool isOn = false;  // the display names this layout explicitly

        friend bool operator==(const DisplayToggle&, const DisplayToggle&) = default;
    };

    struct Content {
        std::string name;
        double spacing = 0;  // as stored; the sliders run from 0 to maximumGap
        double padding = 0;
        std::string spacingText;  // "7.6 px": to the hundredth, no trailing zeros
        std::string paddingText;
        std::vector<DisplayToggle> displays;
        bool isDefault = false;
        std::string kind;  // "Grid · 3 × 2" (columns first), "Canvas · 5 zones"
        std::optional<std::string> createdFrom;  // the origin's template name

        friend bool operator==(const Content&, const Content&) = default;
    };

    static constexpr double maximumGap = 48;

    explicit LayoutInspectorModel(LayoutEditorModel& model) : model_(model) {}

    // Nothing without a selected layout.
    std::optional<Content> content() const;

    // The user's edits.
    void rename(const std::string& text) { model_.rename(text); }
    // A slider position, stored as the nearest whole number of points.
    void moveSpacingSlider(double position);
    void movePaddingSlider(double position);
    void setUsedOn(const DisplayInfo& display, bool on);
    void makeDefault() { model_.makeDefault(); }

    // "7.6 px" for 7.6, "8 px" for 8.
    static std::string gapText(double points);
    static std::string kindText(const LayoutKind& kind);

private:
    LayoutEditorModel& model_;
};

}  // namespace tessary
