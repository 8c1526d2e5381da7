#include "Tessary/settings/ui/RulesSettingsView.h"

#include <QAbstractItemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "Tessary/services/RuleService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/settings/ui/AddAppMenu.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/settings/ui/ApplicationPicker.h"
#include "Tessary/settings/ui/RuleDetailView.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"
#include "Tessary/shell/ui/SymbolIcon.h"
#include "Tessary/shell/ui/SelectedRowText.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

constexpr const char* rulesFooter = "Rules take precedence over window memory for new windows.";
constexpr int ruleRole = Qt::UserRole;

const std::vector<PlacementRule>& storedRules(const SettingsContext& context) {
    static const std::vector<PlacementRule> none;
    return context.rules ? context.rules->ruleSet().rules : none;
}

}  // namespace

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
            // After the event that changed them: a drop inside the list is still being handled.
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
    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("rules"));
    highlightSelectedRowText(*list_);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    connect(list_->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex&, int start, int, const QModelIndex&, int destination) { rowsMoved(start, destination); });
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const auto chosen = list_->selectedItems();
        selection_ = chosen.isEmpty() ? std::nullopt : UUID::parsing(chosen.first()->data(ruleRole).toString().toStdString());
        updateBar();
        showDetail();
    });
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
    const QSignalBlocker blocker(list_);
    list_->clear();
    const std::vector<DisplayInfo> displays = DisplayProvider::displays();
    for (const PlacementRule& rule : storedRules(context_)) {
        auto* item = new QListWidgetItem(list_);
        item->setData(ruleRole, QString::fromStdString(rule.id.uuidString()));
        // A row drawn by a widget has no text of its own: a screen reader reads these.
        const QString summary = QString::fromStdString(ruleSummary(rule, displays));
        item->setData(Qt::AccessibleTextRole, QString::fromStdString(info_.appDisplayName(rule.bundleID)));
        item->setData(Qt::AccessibleDescriptionRole, rule.isEnabled ? summary : summary + " \u00B7 " + tr("Paused"));
        auto* widget = new QWidget;
        auto* line = new QHBoxLayout(widget);
        line->setContentsMargins(0, 3, 6, 3);
        line->addWidget(new AppRow(info_, rule.bundleID, 24, ruleSummary(rule, displays)), 1);
        if (!rule.isEnabled) {
            auto* paused = new QLabel(widget);
            paused->setObjectName(QStringLiteral("paused"));
            showSymbol(*paused, QStringLiteral("pause.circle"), 16);
            paused->setAccessibleName(tr("Paused"));
            paused->setToolTip(tr("Paused"));
            line->addWidget(paused);
        }
        // Only the height: the row takes the list's width and cuts its texts to it.
        item->setSizeHint(QSize(0, widget->sizeHint().height()));
        list_->setItemWidget(item, widget);
        if (selection_ == rule.id) item->setSelected(true);
    }
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

void RulesSettingsView::rowsMoved(int from, int to) {
    if (!context_.rules || from < 0 || to < 0) return;
    context_.rules->modifyRuleSet(
        [&](RuleSet& set) { set.move({static_cast<std::size_t>(from)}, static_cast<std::size_t>(to)); });
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
