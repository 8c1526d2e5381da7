#include "Tessary/settings/ui/RulesSettingsView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

#include "Tessary/services/RuleService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/settings/ui/AddAppMenu.h"
#include "Tessary/settings/ui/AppRowList.h"
#include "Tessary/settings/ui/ApplicationPicker.h"
#include "Tessary/settings/ui/RuleDetailView.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

constexpr const char* rulesFooter = "Rules take precedence over window memory for new windows.";

const std::vector<PlacementRule>& storedRules(const SettingsContext& context) {
    static const std::vector<PlacementRule> none;
    return context.rules ? context.rules->ruleSet().rules : none;
}

}  // namespace

// The rules in matching order, read from the rule set as it is now; a drop writes the new order.
class RulesSettingsView::Rows final : public AppRowsModel {
public:
    Rows(const SettingsContext& context, const AppInfo& info) : AppRowsModel(info), context_(context) {}

    // The displays a summary names, as connected when the list was last filled.
    void setDisplays(std::vector<DisplayInfo> displays) { displays_ = std::move(displays); }

    int count() const override { return static_cast<int>(storedRules(context_).size()); }
    ListRow row(int index) const override {
        const PlacementRule& rule = storedRules(context_)[static_cast<std::size_t>(index)];
        ListRow row{appName(rule.bundleID), QString::fromStdString(ruleSummary(rule, displays_)), {}, {}, {}};
        if (!rule.isEnabled) {
            row.trailingSymbol = QStringLiteral("pause.circle");
            row.trailingSymbolName = tr("Paused");
        }
        return row;
    }
    QString key(int index) const override {
        return QString::fromStdString(storedRules(context_)[static_cast<std::size_t>(index)].id.uuidString());
    }
    QIcon icon(int index) const override { return appIcon(storedRules(context_)[static_cast<std::size_t>(index)].bundleID); }
    bool canMoveRows() const override { return context_.rules != nullptr; }
    // The list's offsets are the rule set's: a drop is the new matching order, saved at once, and
    // no rule's stamp changes.
    bool moveRow(int from, int to) override {
        context_.rules->modifyRuleSet(
            [&](RuleSet& set) { set.move({static_cast<std::size_t>(from)}, static_cast<std::size_t>(to)); });
        return true;
    }

private:
    const SettingsContext& context_;
    std::vector<DisplayInfo> displays_;
};

RulesSettingsView::RulesSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context), info_(makeAppInfo(context)), addMenu_(std::make_unique<QMenu>()) {
    addMenu_->setObjectName(QStringLiteral("addRuleMenu"));
    addMenu_->setTitle(tr("Add Rule"));
    auto refill = [this] {
        info_ = makeAppInfo(context_);
        fillAddAppMenu(
            addMenu_.get(), info_.runningApps(), [this](const std::string& id) { addRule(id); },
            [this] {
                (new ApplicationPicker(info_, false,
                                       [this](std::vector<std::string> ids) { addRule(ids.front()); }, window()))
                    ->open();
            });
    };
    connect(addMenu_.get(), &QMenu::aboutToShow, this, refill);
    refill();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (context_.rules) {
        rulesSubscription_ = context_.rules->observe([this] {
            // The list at once learns how many rules there are now; the rest after the event that
            // changed them, which may be a click inside the content rebuilt.
            if (rows_) rows_->refresh();
            QMetaObject::invokeMethod(this, [this] { rebuild(); }, Qt::QueuedConnection);
        });
    }
    if (context_.zones) zonesSubscription_ = context_.zones->observe([this] {
        if (detail_) detail_->refresh();
    });
    rebuild();
}

QString RulesSettingsView::subtitle() const {
    if (storedRules(context_).empty()) return {};
    return tr("First match wins \u00B7 drag to reorder");
}

std::optional<PrimaryActionTexts> RulesSettingsView::primaryAction() const {
    if (storedRules(context_).empty()) return std::nullopt;
    return PrimaryActionTexts{"Apply Rules Now", "Place the open windows by the rules"};
}

void RulesSettingsView::triggerPrimaryAction() { context_.actions.applyRules(); }

void RulesSettingsView::rebuild() {
    const auto& rules = storedRules(context_);
    if (selection_ && std::none_of(rules.begin(), rules.end(), [&](const PlacementRule& r) { return r.id == *selection_; })) {
        selection_.reset();
    }
    const bool hasRules = !rules.empty();
    if (content_ && hasRules == hasRules_ && list_) {
        fillList();
        showDetail();
        return;
    }
    const bool headerChanges = content_ && hasRules != hasRules_;
    hasRules_ = hasRules;
    // The subtitle and "Apply Rules Now" come and go with the first and the last rule.
    if (headerChanges) headerChanged();
    SettingsForm::clearLater(layout());
    list_ = nullptr;
    rows_ = nullptr;
    bar_ = nullptr;
    detail_ = nullptr;
    detailHolder_ = nullptr;
    if (!hasRules) {
        content_ = new EmptyListForm(
            tr("No Rules"), QStringLiteral("list.bullet.rectangle"),
            tr("A rule places new windows of an app into a zone. Rules are applied in order; the first match wins."),
            tr(rulesFooter), tr("Remove Rule"), addMenu_.get(), this);
        layout()->addWidget(content_);
        return;
    }
    // The list shows with its first rule, the one tried first, in the editor.
    if (!selection_) selection_ = rules.front().id;
    content_ = new QWidget(this);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    rows_ = new Rows(context_, info_);
    list_ = new RowListView(rows_, appRowLook(24, false, QMargins(4, 5, 10, 5)));
    list_->setObjectName(QStringLiteral("rules"));
    list_->setAccessibleName(tr("Rules"));
    list_->onChosen = [this](int row) {
        selection_ = row < 0 ? std::nullopt : UUID::parsing(rows_->key(row).toStdString());
        updateBar();
        showDetail();
    };
    bar_ = new ListEditBar(tr("Remove Rule"), addMenu_.get(), [this] { confirmRemove(); });
    row->addWidget(new MasterListCard(list_, bar_), 0);
    detailHolder_ = new QWidget;
    auto* holder = new QVBoxLayout(detailHolder_);
    holder->setContentsMargins(0, 0, 0, 0);
    row->addWidget(detailHolder_, 1);
    column->addLayout(row, 1);
    auto* note = SettingsForm::captionLabel(tr(rulesFooter), content_);
    note->setContentsMargins(20, 8, 20, 8);
    column->addWidget(note);
    layout()->addWidget(content_);
    fillList();
    showDetail();
}

void RulesSettingsView::fillList() {
    rows_->setDisplays(DisplayProvider::displays());
    rows_->refresh();
    list_->setSelectedRow(selection_ ? rows_->find(QString::fromStdString(selection_->uuidString())) : -1);
    updateBar();
}

void RulesSettingsView::showDetail() {
    if (!detailHolder_) return;
    if (detail_ && selection_ == detail_->ruleID()) {
        detail_->refresh();
        return;
    }
    SettingsForm::clearLater(detailHolder_->layout());
    detail_ = nullptr;
    if (selection_) {
        detail_ = new RuleDetailView(context_, info_, *selection_);
        detailHolder_->layout()->addWidget(detail_);
        return;
    }
    detailHolder_->layout()->addWidget(
        SettingsForm::unavailable(tr("No Rule Selected"), tr("Select a rule to edit where its windows go."), QStringLiteral("noRuleSelected")));
}

void RulesSettingsView::updateBar() {
    const auto& rules = storedRules(context_);
    if (bar_) {
        bar_->setCanRemove(selection_ &&
                           std::any_of(rules.begin(), rules.end(), [&](const PlacementRule& r) { return r.id == *selection_; }));
    }
}

void RulesSettingsView::addRule(const std::string& bundleID) {
    if (!context_.rules) return;
    const PlacementRule rule(UUID::random(), true, bundleID, std::nullopt, std::nullopt, {0},
                             Date::now().roundedToMilliseconds());
    context_.rules->modifyRuleSet([&](RuleSet& set) { set.upsert(rule); });
    selection_ = rule.id;
}

void RulesSettingsView::select(std::optional<UUID> rule) {
    selection_ = rule;
    if (list_) fillList();
    showDetail();
}

void RulesSettingsView::confirmRemove() {
    const auto& rules = storedRules(context_);
    const auto found = std::find_if(rules.begin(), rules.end(),
                                    [&](const PlacementRule& r) { return selection_ && r.id == *selection_; });
    if (found == rules.end()) return;
    const UUID id = found->id;
    confirmDestructive(window(),
                       {"Remove the rule for " + info_.appDisplayName(found->bundleID) + "?", "This cannot be undone.",
                        "Remove"},
                       [this, id] {
                           context_.rules->modifyRuleSet([&](RuleSet& set) { set.deleteRule(id); });
                           if (selection_ == id) selection_.reset();
                       });
}

}  // namespace tessary
