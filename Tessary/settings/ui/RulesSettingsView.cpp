#include "Tessary/settings/ui/RulesSettingsView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QVBoxLayout>

#include "Tessary/services/RuleService.h"
#include "Tessary/services/ZoneService.h"
#include "Tessary/settings/RulesPaneModel.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/settings/ui/ApplicationPicker.h"
#include "Tessary/settings/ui/ContentUnavailable.h"
#include "Tessary/settings/ui/RuleDetailView.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"
#include "Tessary/shell/ui/SymbolIcon.h"

namespace tessary {

namespace {

const char* const rulesNote = "Rules take precedence over window memory for new windows.";

}  // namespace

RulesSettingsView::RulesSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context), apps_(AppInfo::build(context.applications, context.launcher)) {
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(0);
    addMenu_ = new QMenu(this);
    addMenu_->setObjectName(QStringLiteral("addRuleMenu"));
    connect(addMenu_, &QMenu::aboutToShow, this, [this] {
        apps_ = AppInfo::build(context_.applications, context_.launcher);
        fillApplicationMenu(
            addMenu_, apps_, [this](const std::string& id) { addRule(id); }, [this] { chooseApplication(); });
    });
    if (!context_.rules) {
        column_->addWidget(SettingsForm::captionLabel(tr("Rules are not available in this build."), this));
        return;
    }
    rulesSubscription_ = context_.rules->observe([this] { refresh(); });
    if (context_.zones) zonesSubscription_ = context_.zones->observe([this] { showDetail(); });
    wasEmpty_ = isEmpty();
    refresh();
}

bool RulesSettingsView::isEmpty() const { return !context_.rules || context_.rules->ruleSet().rules.empty(); }

QString RulesSettingsView::subtitle() const { return isEmpty() ? QString() : tr(rulesSubtitle); }

std::optional<PrimaryActionTexts> RulesSettingsView::primaryAction() const {
    if (isEmpty()) return std::nullopt;
    return applyRulesAction;
}

void RulesSettingsView::triggerPrimaryAction() { context_.actions.applyRules(); }

void RulesSettingsView::addRule(const std::string& bundleID) {
    if (!context_.rules) return;
    const UUID id = tessary::addRule(*context_.rules, bundleID);
    select(id);
}

void RulesSettingsView::chooseApplication() {
    ApplicationPicker::open(window(), AppInfo::build(context_.applications, context_.launcher), false,
                            [this](const std::vector<std::string>& chosen) {
                                if (!chosen.empty()) addRule(chosen.front());
                            });
}

void RulesSettingsView::confirmRemoveRule(const std::optional<UUID>& id) {
    if (!context_.rules) return;
    const auto rule = selectedRule(*context_.rules, id);
    if (!rule) return;
    confirmDestructive(window(), removeRuleConfirmation(apps_.appDisplayName(rule->bundleID)), [this, id = rule->id] {
        deleteRule(*context_.rules, id);
        if (selection_ == id) select(std::nullopt);
    });
}

void RulesSettingsView::select(const std::optional<UUID>& id) {
    selection_ = id;
    if (list_) {
        const QSignalBlocker blocker(list_);
        list_->clearSelection();
        for (int i = 0; i < list_->count(); ++i) {
            if (id && list_->item(i)->data(Qt::UserRole).toString().toStdString() == id->uuidString()) {
                list_->setCurrentRow(i);
                list_->item(i)->setSelected(true);
            }
        }
    }
    showDetail();
}

void RulesSettingsView::refresh() {
    const bool empty = isEmpty();
    if (empty) {
        if (!content_ || list_) {
            discard(content_);
            list_ = nullptr;
            bar_ = nullptr;
            detail_ = nullptr;
            content_ = SettingsForm::fill(new QWidget(this))->parentWidget();
            auto* form = content_->findChild<SettingsForm*>();
            form->addWidget(new EmptyListForm(
                tr("No Rules"), QStringLiteral("list.bullet.rectangle"),
                tr("A rule places new windows of an app into a zone. Rules are applied in order; the first match wins."),
                tr(rulesNote), tr("Remove Rule"), addMenu_));
            form->addStretch();
            column_->addWidget(content_);
        }
        selection_.reset();
    } else {
        if (!list_) buildList();
        fillRows();
    }
    if (empty != wasEmpty_) {
        wasEmpty_ = empty;
        headerChanged();
    }
}

void RulesSettingsView::buildList() {
    discard(content_);
    content_ = new QWidget(this);
    auto* stack = new QVBoxLayout(content_);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto* row = new QWidget(content_);
    auto* columns = new QHBoxLayout(row);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("rules"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this, list = list_] {
        if (list != list_) return;
        const auto chosen = list_->selectedItems();
        selection_.reset();
        if (!chosen.isEmpty()) selection_ = UUID::parsing(chosen.first()->data(Qt::UserRole).toString().toStdString());
        showDetail();
    });
    // A drop moves the rows in the list's own model first; the rule set takes the same move and
    // the rows are then drawn again from it, once the list's drop has finished.
    connect(list_->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex&, int start, int, const QModelIndex&, int destination) {
                QMetaObject::invokeMethod(
                    this,
                    [this, start, destination] {
                        moveRule(*context_.rules, static_cast<std::size_t>(start), static_cast<std::size_t>(destination));
                    },
                    Qt::QueuedConnection);
            });
    bar_ = new ListEditBar(tr("Remove Rule"), addMenu_, [this] { confirmRemoveRule(selection_); });
    columns->addWidget(new MasterListCard(list_, bar_), 0);
    detailArea_ = new QWidget(row);
    auto* detailColumn = new QVBoxLayout(detailArea_);
    detailColumn->setContentsMargins(0, 0, 0, 0);
    columns->addWidget(detailArea_, 1);
    stack->addWidget(dividedPane(row), 1);

    QLabel* note = SettingsForm::captionLabel(tr(rulesNote), content_);
    note->setObjectName(QStringLiteral("rulesNote"));
    note->setContentsMargins(20, 8, 20, 8);
    note->setAutoFillBackground(true);
    note->setBackgroundRole(QPalette::AlternateBase);
    stack->addWidget(note);
    column_->addWidget(content_);
    placeholder_ = nullptr;
    detail_ = nullptr;
}

void RulesSettingsView::fillRows() {
    const std::vector<DisplayInfo> displays = context_.displays ? context_.displays() : std::vector<DisplayInfo>{};
    const auto& rules = context_.rules->ruleSet().rules;
    const QSignalBlocker blocker(list_);
    list_->clear();
    for (const PlacementRule& rule : rules) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, QString::fromStdString(rule.id.uuidString()));
        QLabel* paused = nullptr;
        if (!rule.isEnabled) {
            paused = new QLabel;
            paused->setObjectName(QStringLiteral("paused"));
            paused->setPixmap(symbolIcon(QStringLiteral("pause.circle")).pixmap(16, 16));
            paused->setAccessibleName(tr("Paused"));
            paused->setToolTip(tr("Paused"));
        }
        auto* row = new AppRow(apps_, rule.bundleID, 24, ruleSummary(rule, displays), paused);
        row->setContentsMargins(4, 3, 4, 3);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
    }
    // The first rule is selected when the list is first shown; a selection that names a rule no
    // longer in the set names nothing (and remove is disabled).
    if (!selection_ && !rules.empty() && !list_->property("shown").toBool()) selection_ = rules.front().id;
    list_->setProperty("shown", true);
    if (!selectedRule(*context_.rules, selection_)) selection_.reset();
    select(selection_);
}

void RulesSettingsView::showDetail() {
    if (!list_ || !context_.rules) return;
    bar_->setCanRemove(selectedRule(*context_.rules, selection_).has_value());
    const auto rule = selectedRule(*context_.rules, selection_);
    if (rule && detail_ && detail_->ruleID() == rule->id) {
        detail_->show(*rule);
        return;
    }
    delete detail_;
    detail_ = nullptr;
    delete placeholder_;
    placeholder_ = nullptr;
    if (rule) {
        detail_ = new RuleDetailView(context_, apps_, *rule, detailArea_);
        detailArea_->layout()->addWidget(detail_);
    } else {
        placeholder_ = makeContentUnavailable(tr("No Rule Selected"), QStringLiteral("list.bullet.rectangle"),
                                              tr("Select a rule to edit where its windows go."), detailArea_);
        detailArea_->layout()->addWidget(placeholder_);
    }
}

}  // namespace tessary
