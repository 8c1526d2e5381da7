#pragma once

#include <optional>

#include "Platform/Signal.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"
#include "TessaryCore/UUID.h"

class QListWidget;
class QVBoxLayout;

namespace tessary {

class ListEditBar;
class SaveWorkspacePrompt;
class WorkspaceDetailView;

// The saved workspaces with the detail of the selected one: save the current windows under a
// name, remove through the program's delete command after a confirmation.
class WorkspacesSettingsView final : public SettingsPane {
public:
    explicit WorkspacesSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    // Opens the name prompt; "Save" saves and selects the new workspace.
    SaveWorkspacePrompt* beginSaveCurrentWindows();
    void confirmRemoveWorkspace(const std::optional<UUID>& id);
    void select(const std::optional<UUID>& id);

    const std::optional<UUID>& selection() const { return selection_; }
    QListWidget* list() const { return list_; }
    ListEditBar* bar() const { return bar_; }
    // Null while the selection names no workspace ("No Workspace Selected").
    WorkspaceDetailView* detail() const { return detail_; }

private:
    void refresh();
    void buildList();
    void fillRows();
    void showDetail();

    SettingsContext& context_;
    AppInfo apps_;
    std::optional<UUID> selection_;
    QVBoxLayout* column_ = nullptr;
    QWidget* content_ = nullptr;
    QListWidget* list_ = nullptr;
    ListEditBar* bar_ = nullptr;
    QWidget* detailArea_ = nullptr;
    QWidget* placeholder_ = nullptr;
    WorkspaceDetailView* detail_ = nullptr;
    Subscription workspacesSubscription_;
};

}  // namespace tessary
