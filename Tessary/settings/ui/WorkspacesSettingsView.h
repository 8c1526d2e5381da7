#pragma once

#include <optional>

#include "Platform/Signal.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"
#include "TessaryCore/UUID.h"

namespace tessary {

class ListEditBar;
class RowListView;
class WorkspaceDetailView;

// The saved workspaces with the detail of the selected one; the plus saves the current windows
// under a name asked for, the minus removes the selected workspace after a confirmation.
class WorkspacesSettingsView final : public SettingsPane {
public:
    explicit WorkspacesSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    RowListView* list() const { return list_; }
    ListEditBar* bar() const { return bar_; }
    WorkspaceDetailView* detail() const { return detail_; }
    std::optional<UUID> selection() const { return selection_; }
    void select(std::optional<UUID> workspace);

    // The name prompt; "Save" saves the current windows under `workspaceSaveName` of its text.
    void beginSaveCurrentWindows();
    void saveCurrentWindows(const QString& typed);

private:
    void rebuild();
    void fillList();
    void showDetail();
    void updateBar();
    void confirmRemove();

    class Rows;

    SettingsContext& context_;
    AppInfo info_;
    QWidget* content_ = nullptr;
    RowListView* list_ = nullptr;
    Rows* rows_ = nullptr;
    ListEditBar* bar_ = nullptr;
    QWidget* detailHolder_ = nullptr;
    WorkspaceDetailView* detail_ = nullptr;
    std::optional<UUID> selection_;
    bool hasWorkspaces_ = false;
    Subscription subscription_;
};

}  // namespace tessary
