#pragma once

#include <utility>
#include <vector>

#include "Platform/Signal.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace tessary {

class StatusTag;
struct SyncedKind;

// The sync folder, the switch, the state of the last synchronisation with "Sync Now", and what
// synchronises. The switch is the preference; the rest is read from CloudSync.
class SyncSettingsView final : public SettingsPane {
public:
    explicit SyncSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    // Stores the folder when it can be used; else shows why not. What "Choose Folder…" does with
    // the dialog's answer.
    void chooseFolder(const QString& folder);

private:
    void refresh();
    CloudSync* sync() const;

    SettingsContext& context_;
    QLabel* folder_ = nullptr;
    QLabel* folderNote_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QWidget* lastSyncRow_ = nullptr;
    QLabel* lastSync_ = nullptr;
    QLabel* error_ = nullptr;
    StatusTag* status_ = nullptr;
    QPushButton* syncNow_ = nullptr;
    QWidget* unavailableRow_ = nullptr;
    // Each kind of data that syncs, with its chip.
    std::vector<std::pair<const SyncedKind*, StatusTag*>> synced_;
    Subscription preferencesSubscription_;
    Subscription syncSubscription_;
};

}  // namespace tessary
