#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Tessary/editor/DestructiveConfirmation.h"
#include "Tessary/editor/LayoutEditorModel.h"

namespace tessary {

// The editor's root view without its widgets: the rows of the layout list, the title, which
// toolbar items apply, the preview toggle, and the delete and duplicate commands.
//
// The delete confirmation names a layout; if another one is selected by the time the answer comes
// (the new-layout command may select what it creates meanwhile), the answer does nothing.
class LayoutEditorViewModel final {
public:
    struct Row {
        UUID id;
        std::string name;
        std::string subtitle;  // "3 zones · default · DELL U2720Q"

        friend bool operator==(const Row&, const Row&) = default;
    };

    struct Toolbar {
        bool canDuplicate = false;
        bool canDelete = false;
        // The preview and inspector toggles are there only with a layout selected.
        bool showsLayoutItems = false;
        std::string inspectorHelp;

        friend bool operator==(const Toolbar&, const Toolbar&) = default;
    };

    LayoutEditorViewModel(LayoutEditorModel& model, Confirm confirm) : model_(model), confirm_(std::move(confirm)) {}

    std::vector<Row> rows() const;
    // The selected layout's name, or "Tessary Layouts".
    std::string title() const;
    Toolbar toolbar() const;

    // A row chosen by the user, also the one already selected: the zone selection is emptied.
    void chooseRow(const UUID& id);
    bool isPreviewOn() const { return model_.previewDisplayID().has_value(); }
    // On: the reference display, else the first display, else (none connected) stays off.
    void setPreviewOn(bool on);
    void requestDelete();
    std::string suggestedCopyName() const { return model_.suggestedCopyName(); }
    void duplicate(const std::string& name) { model_.duplicateLayout(name); }
    void presentNewLayout() { model_.setPresentingNewLayout(true); }

private:
    LayoutEditorModel& model_;
    Confirm confirm_;
};

}  // namespace tessary
