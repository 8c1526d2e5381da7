#pragma once

#include <QMenu>

#include <memory>
#include <optional>

#include "Platform/Signal.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/ui/SettingsContext.h"
#include "Tessary/settings/ui/SettingsPane.h"
#include "TessaryCore/UUID.h"

namespace tessary {

class ListEditBar;
class RowListView;
class RuleDetailView;

// The placement rules in matching order (drag to reorder), each with its summary and a mark when
// paused, and the editor of the selected one. Rules are added for a running or an installed
// application and removed after a confirmation.
class RulesSettingsView final : public SettingsPane {
public:
    explicit RulesSettingsView(SettingsContext& context, QWidget* parent = nullptr);

    QString subtitle() const override;
    std::optional<PrimaryActionTexts> primaryAction() const override;
    void triggerPrimaryAction() override;

    RowListView* list() const { return list_; }
    ListEditBar* bar() const { return bar_; }
    QMenu* addMenu() const { return addMenu_.get(); }
    RuleDetailView* detail() const { return detail_; }
    std::optional<UUID> selection() const { return selection_; }

    void addRule(const std::string& bundleID);
    void select(std::optional<UUID> rule);

private:
    void rebuild();
    void fillList();
    void showDetail();
    void updateBar();
    void confirmRemove();

    class Rows;

    SettingsContext& context_;
    AppInfo info_;
    std::unique_ptr<QMenu> addMenu_;
    QWidget* content_ = nullptr;
    RowListView* list_ = nullptr;
    Rows* rows_ = nullptr;
    ListEditBar* bar_ = nullptr;
    QWidget* detailHolder_ = nullptr;
    RuleDetailView* detail_ = nullptr;
    std::optional<UUID> selection_;
    bool hasRules_ = false;
    Subscription rulesSubscription_;
    Subscription zonesSubscription_;
};

}  // namespace tessary
