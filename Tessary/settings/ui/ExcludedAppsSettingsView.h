#pragma once

#include <QMenu>

#include <memory>
#include <optional>
#include <string>

#include "Platform/Signal.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"

namespace tessary {

class ListEditBar;
class RowListView;

// The applications whose windows are never snapped, remembered or placed: a list with its edit
// bar, or the empty box. Applications are added from the running ones or the picker, and removed
// after a confirmation (the bar, the context menu or the Delete key).
class ExcludedAppsSettingsView final : public SettingsPane {
public:
    explicit ExcludedAppsSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    RowListView* list() const { return list_; }
    ListEditBar* bar() const { return bar_; }
    QMenu* addMenu() const { return addMenu_.get(); }
    std::optional<std::string> selection() const;

    // What the menu's and picker's choices do: add, then select what was added last.
    void add(const std::vector<std::string>& bundleIDs);
    void confirmRemove(const std::string& bundleID);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    void fillAddMenu();
    void select(const std::string& bundleID);
    void updateBar();
    void showSelection();

    class Rows;

    SettingsContext& context_;
    AppInfo info_;
    std::unique_ptr<QMenu> addMenu_;
    QWidget* content_ = nullptr;
    RowListView* list_ = nullptr;
    Rows* rows_ = nullptr;
    ListEditBar* bar_ = nullptr;
    std::optional<std::string> selection_;
    Subscription subscription_;
};

}  // namespace tessary
