#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Tessary/editor/DestructiveConfirmation.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "TessaryCore/Geometry.h"

namespace tessary {

// The centre column of the editor without its widgets: the zone commands of the selected layout's
// kind and when each applies, the size of the editing surface for the space offered, the help and
// size lines under it, and the "Sizes for" picker.
class LayoutCanvasPaneModel final {
public:
    enum class CommandID { merge, splitVertically, splitHorizontally, addZone, deleteSelected };

    struct Command {
        CommandID id = CommandID::merge;
        std::string title;
        std::string symbol;  // empty for a text button, which keeps its text in the compact row
        std::string help;
        bool enabled = false;

        friend bool operator==(const Command&, const Command&) = default;
    };

    struct HelpLine {
        std::string text;
        bool isError = false;  // drawn in red

        friend bool operator==(const HelpLine&, const HelpLine&) = default;
    };

    struct PickerEntry {
        std::uint32_t displayID = 0;
        std::string title;

        friend bool operator==(const PickerEntry&, const PickerEntry&) = default;
    };

    LayoutCanvasPaneModel(LayoutEditorModel& model, Confirm confirm) : model_(model), confirm_(std::move(confirm)) {}

    // Nothing without a selected layout.
    std::vector<Command> commands() const;
    void perform(CommandID command);

    // The width over height the surface keeps: the canvas's reference size, else the reference
    // display's work area, each only when both sides are positive and finite, else 1.6.
    double aspectRatio() const;
    // At least 100 wide (or 80 high times the ratio, if smaller), within the space otherwise.
    Size surfaceSize(Size available) const;

    HelpLine helpLine() const;
    // "Sizes shown for NAME, 1920 × 1050 px" (cut to whole points), or "No display".
    std::string sizeLine() const;

    // Shown from two connected displays on.
    bool showsPicker() const;
    std::vector<PickerEntry> pickerEntries() const;
    // The previewed display while a preview runs, else the reference display; 0 matches no entry.
    std::uint32_t pickerValue() const;
    // Moves the preview while one runs, else chooses the size reference.
    void choose(std::uint32_t displayID);

private:
    LayoutEditorModel& model_;
    Confirm confirm_;
};

}  // namespace tessary
