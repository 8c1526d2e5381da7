#pragma once

#include <optional>
#include <string>

#include "Platform/Signal.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

class QListWidget;
class QMenu;
class QVBoxLayout;

namespace tessary {

class ListEditBar;

// The applications whose windows are never snapped, remembered or placed: the excluded
// applications setting, added from the running applications or the application picker and
// removed after a confirmation.
class ExcludedAppsSettingsView final : public SettingsPane {
public:
    explicit ExcludedAppsSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    // Adds one identifier and selects it; an identifier already excluded changes nothing.
    void addExcludedApp(const std::string& bundleID);
    // Adds the picker's choices in order and selects the last one added.
    void addExcludedApps(const std::vector<std::string>& bundleIDs);
    void confirmRemoveExcludedApp(const std::string& bundleID);
    void chooseApplications();

    const std::optional<std::string>& selection() const { return selection_; }
    // Null while the list is empty.
    QListWidget* list() const { return list_; }
    ListEditBar* bar() const { return bar_; }
    QMenu* addMenu() const { return addMenu_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    void select(const std::optional<std::string>& bundleID);

    SettingsContext& context_;
    AppInfo apps_;
    std::optional<std::string> selection_;
    QVBoxLayout* section_ = nullptr;
    QWidget* content_ = nullptr;
    QListWidget* list_ = nullptr;
    ListEditBar* bar_ = nullptr;
    QMenu* addMenu_ = nullptr;
    Subscription preferencesSubscription_;
};

}  // namespace tessary
