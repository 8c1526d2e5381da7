#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Tessary/editor/DestructiveConfirmation.h"
#include "Tessary/editor/LayoutEditorModel.h"
#include "TessaryCore/LayoutPreset.h"
#include "TessaryCore/LayoutTemplate.h"

namespace tessary {

// The reset control at the end of the editor's command row: "Reset to Default" for a layout that
// remembers where it came from, else the "Reset to Template" menu of every template and every
// preset group. Each reset is confirmed first and empties the zone selection after.
//
// The confirmation names a layout; if another one is selected by the time the answer comes (the
// new-layout command may select what it creates meanwhile), the answer does nothing, so that a
// layout the user did not name is never reset.
class ResetMenuModel final {
public:
    struct Entry {
        enum class Kind { layoutTemplate, separator, group };
        Kind kind = Kind::separator;
        std::string title;
        LayoutTemplate layoutTemplate;           // layoutTemplate
        std::vector<const LayoutPreset*> presets;  // group, in table order

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    static constexpr const char* resetToDefaultHelp = "Restore the zones this layout was created with";
    static constexpr const char* resetToTemplateHelp = "This layout has no remembered template; pick one to start over";

    ResetMenuModel(LayoutEditorModel& model, Confirm confirm) : model_(model), confirm_(std::move(confirm)) {}

    // "Reset to Default" rather than the menu.
    bool offersResetToDefault() const { return model_.hasOrigin(); }
    // Six templates, a separator, then the seven preset groups with their presets.
    static std::vector<Entry> menu();

    void resetToDefault();
    // With the larger of 1 and the layout's zone count.
    void resetToTemplate(LayoutTemplate layoutTemplate);
    void resetToPreset(const LayoutPreset& preset);

private:
    void confirmThen(std::function<void()> reset);

    LayoutEditorModel& model_;
    Confirm confirm_;
};

}  // namespace tessary
