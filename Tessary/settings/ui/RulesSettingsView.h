#pragma once

#include <optional>

#include "Platform/Signal.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"
#include "TessaryCore/UUID.h"

class QListWidget;
class QMenu;
class QVBoxLayout;

namespace tessary {

class ListEditBar;
class RuleDetailView;

// The placement rules in the order they are tried, with the editor of the selected one beside
// them: drag to reorder, add from the running applications or the application picker, remove
// after a confirmation, "Apply Rules Now".
class RulesSettingsView final : public SettingsPane {
public:
    explicit RulesSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    QString subtitle() const override;
    std::optional<PrimaryActionTexts> primaryAction() const override;
    void triggerPrimaryAction() override;

    void addRule(const std::string& bundleID);
    void chooseApplication();
    void confirmRemoveRule(const std::optional<UUID>& id);
    void select(const std::optional<UUID>& id);

    const std::optional<UUID>& selection() const { return selection_; }
    // Null in the empty state.
    QListWidget* list() const { return list_; }
    ListEditBar* bar() const { return bar_; }
    QMenu* addMenu() const { return addMenu_; }
    // Null while no rule is selected ("No Rule Selected").
    RuleDetailView* detail() const { return detail_; }

private:
    void refresh();
    void buildList();
    void fillRows();
    void showDetail();
    bool isEmpty() const;

    SettingsContext& context_;
    AppInfo apps_;
    std::optional<UUID> selection_;
    QVBoxLayout* column_ = nullptr;
    QWidget* content_ = nullptr;
    QListWidget* list_ = nullptr;
    ListEditBar* bar_ = nullptr;
    QWidget* detailArea_ = nullptr;
    QWidget* placeholder_ = nullptr;
    RuleDetailView* detail_ = nullptr;
    QMenu* addMenu_ = nullptr;
    bool wasEmpty_ = true;
    Subscription rulesSubscription_;
    Subscription zonesSubscription_;
};

}  // namespace tessary
