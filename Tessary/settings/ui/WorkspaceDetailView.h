#pragma once

#include <QWidget>

#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "TessaryCore/Workspace.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace tessary {

// One saved workspace beside the list: its name (written at each keystroke), its shortcut, when it
// was saved and on which displays, "Update with Current Windows…", "Restore Now", the two options
// and the saved windows. Each edit changes one field of the workspace as the library holds it,
// and only while the library still holds it; "Restore Now" restores the stored workspace.
class WorkspaceDetailView final : public QWidget {
public:
    WorkspaceDetailView(SettingsContext& context, const AppInfo& apps, const Workspace& workspace,
                        QWidget* parent = nullptr);

    const UUID& workspaceID() const { return id_; }
    // Shows the workspace as stored now; the name field keeps its cursor when its text is unchanged.
    void show(const Workspace& workspace);

    void restoreNow();
    void confirmUpdate();

    QLineEdit* nameField() const { return name_; }
    QLabel* savedLabel() const { return saved_; }
    QLabel* displaysLabel() const { return displays_; }
    QCheckBox* launchToggle() const { return launches_; }
    QCheckBox* restoreToggle() const { return restores_; }
    // The shortcut control; null when the program gave no recorder.
    QWidget* recorder() const { return recorder_; }
    QVBoxLayout* entryRows() const { return entries_; }

private:
    void edit(const std::function<void(Workspace&)>& change);

    SettingsContext& context_;
    const AppInfo& apps_;
    UUID id_;
    QLineEdit* name_ = nullptr;
    QWidget* recorder_ = nullptr;
    QLabel* saved_ = nullptr;
    QLabel* displays_ = nullptr;
    QCheckBox* launches_ = nullptr;
    QCheckBox* restores_ = nullptr;
    QLabel* entriesHeader_ = nullptr;
    QVBoxLayout* entries_ = nullptr;
};

}  // namespace tessary
