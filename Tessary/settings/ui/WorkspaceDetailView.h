#pragma once

#include <QWidget>

#include "Tessary/settings/ui/SettingsContext.h"
#include "TessaryCore/UUID.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tessary {

class AppInfo;
class RowListView;
struct Workspace;

// One saved workspace: its name (written per keystroke), its shortcut, when it was saved and on
// which displays, restore and update, its two options and its windows. It keeps no copy: each
// edit changes only its field of the stored workspace, and "Restore Now" restores the stored one.
class WorkspaceDetailView final : public QWidget {
public:
    WorkspaceDetailView(SettingsContext& context, const AppInfo& info, UUID workspace, QWidget* parent = nullptr);

    const UUID& workspaceID() const { return workspace_; }
    void refresh();
    RowListView* windows() const { return windows_; }

private:
    std::optional<Workspace> stored() const;
    void edit(const std::function<void(Workspace&)>& change);

    SettingsContext& context_;
    const AppInfo& info_;
    UUID workspace_;
    QLineEdit* name_ = nullptr;
    QLabel* saved_ = nullptr;
    QLabel* displays_ = nullptr;
    QCheckBox* launches_ = nullptr;
    QCheckBox* restores_ = nullptr;
    QLabel* windowsHeader_ = nullptr;
    class Entries;
    Entries* entries_ = nullptr;
    RowListView* windows_ = nullptr;
};

}  // namespace tessary
