#include "Tessary/settings/ui/WorkspacesSettingsView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/WorkspacesPaneModel.h"
#include "Tessary/settings/ui/AddAppMenu.h"
#include "Tessary/settings/ui/ContentUnavailable.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/settings/ui/WorkspaceDetailView.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"
#include "Tessary/shell/ui/SaveWorkspacePrompt.h"

namespace tessary {

namespace {

// Both states share the add control: a plus that asks for a name.
void makeSaveButton(ListEditBar* bar, WorkspacesSettingsView* pane) {
    QToolButton* add = bar->addButton();
    add->setObjectName(QStringLiteral("saveCurrentWindows"));
    add->setAccessibleName(QObject::tr("Save Current Windows"));
    add->setToolTip(QObject::tr("Save Current Windows\u2026"));
    QObject::connect(add, &QToolButton::clicked, pane, [pane] { pane->beginSaveCurrentWindows(); });
}

}  // namespace

WorkspacesSettingsView::WorkspacesSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context), apps_(makeAppInfo(context)) {
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(0);
    if (!context_.workspaces) {
        column_->addWidget(SettingsForm::captionLabel(tr("Workspaces are not available in this build."), this));
        return;
    }
    workspacesSubscription_ = context_.workspaces->observe([this] { refresh(); });
    refresh();
}

SaveWorkspacePrompt* WorkspacesSettingsView::beginSaveCurrentWindows() {
    if (!context_.workspaces) return nullptr;
    auto* prompt = new SaveWorkspacePrompt(context_.workspaces->library().workspaces.size(), window());
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    prompt->setWindowModality(Qt::WindowModal);
    connect(prompt, &QDialog::accepted, this, [this, prompt] {
        const Workspace saved = saveWorkspaceFromSettings(*context_.workspaces, context_.actions, prompt->chosenName());
        select(saved.id);
    });
    prompt->open();
    return prompt;
}

void WorkspacesSettingsView::confirmRemoveWorkspace(const std::optional<UUID>& id) {
    if (!context_.workspaces) return;
    const auto workspace = selectedWorkspace(*context_.workspaces, id);
    if (!workspace) return;
    confirmDestructive(window(), removeWorkspaceConfirmation(workspace->name), [this, id = workspace->id] {
        context_.actions.deleteWorkspace(id);
        if (selection_ == id) select(std::nullopt);
    });
}

void WorkspacesSettingsView::select(const std::optional<UUID>& id) {
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

void WorkspacesSettingsView::refresh() {
    if (context_.workspaces->library().workspaces.empty()) {
        if (content_ && !list_) return;
        SettingsForm::clearLater(column_);
        list_ = nullptr;
        bar_ = nullptr;
        detail_ = nullptr;
        content_ = new QWidget(this);
        SettingsForm* form = SettingsForm::fill(content_);
        auto* empty = new EmptyListForm(
            tr("No Workspaces"), QStringLiteral("square.grid.2x2"),
            tr("A workspace remembers where every window is. Save one now, restore it any time."),
            tr("Restore a workspace from the tray menu, with its shortcut or from this list."), tr("Remove Workspace"),
            nullptr);
        makeSaveButton(empty->box()->bar(), this);
        form->addWidget(empty);
        form->addStretch();
        column_->addWidget(content_);
        return;
    }
    if (!list_) buildList();
    fillRows();
}

void WorkspacesSettingsView::buildList() {
    SettingsForm::clearLater(column_);
    content_ = new QWidget(this);
    auto* row = new QWidget(content_);
    auto* columns = new QHBoxLayout(row);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("workspaces"));
    list_->setFrameShape(QFrame::NoFrame);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this, list = list_] {
        if (list != list_) return;
        const auto chosen = list_->selectedItems();
        selection_.reset();
        if (!chosen.isEmpty()) selection_ = UUID::parsing(chosen.first()->data(Qt::UserRole).toString().toStdString());
        showDetail();
    });
    bar_ = new ListEditBar(tr("Remove Workspace"), nullptr, [this] { confirmRemoveWorkspace(selection_); });
    makeSaveButton(bar_, this);
    columns->addWidget(new MasterListCard(list_, bar_), 0);
    detailArea_ = new QWidget(row);
    auto* detailColumn = new QVBoxLayout(detailArea_);
    detailColumn->setContentsMargins(0, 0, 0, 0);
    columns->addWidget(detailArea_, 1);
    auto* stack = new QVBoxLayout(content_);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(dividedPane(row));
    column_->addWidget(content_);
    placeholder_ = nullptr;
    detail_ = nullptr;
    // The first workspace is selected when the list is first shown.
    if (!selection_) selection_ = context_.workspaces->library().workspaces.front().id;
}

void WorkspacesSettingsView::fillRows() {
    const QSignalBlocker blocker(list_);
    list_->clear();
    for (const Workspace& workspace : context_.workspaces->library().workspaces) {
        auto* item = new QListWidgetItem(list_);
        item->setData(Qt::UserRole, QString::fromStdString(workspace.id.uuidString()));
        auto* row = new QWidget;
        auto* lines = new QVBoxLayout(row);
        lines->setContentsMargins(6, 3, 6, 3);
        lines->setSpacing(1);
        QLabel* name = SettingsForm::plainLabel(QString::fromStdString(workspace.name), row);
        name->setObjectName(QStringLiteral("workspaceRowName"));
        lines->addWidget(name);
        QLabel* counts = SettingsForm::captionLabel(QString::fromStdString(workspaceCountsText(workspace)), row);
        counts->setObjectName(QStringLiteral("workspaceRowCounts"));
        lines->addWidget(counts);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
    }
    select(selection_);
}

void WorkspacesSettingsView::showDetail() {
    if (!list_ || !context_.workspaces) return;
    const auto workspace = selectedWorkspace(*context_.workspaces, selection_);
    // Remove acts only on a workspace the library still holds.
    bar_->setCanRemove(workspace.has_value());
    if (workspace && detail_ && detail_->workspaceID() == workspace->id) {
        detail_->show(*workspace);
        return;
    }
    delete detail_;
    detail_ = nullptr;
    delete placeholder_;
    placeholder_ = nullptr;
    if (workspace) {
        detail_ = new WorkspaceDetailView(context_, apps_, *workspace, detailArea_);
        detailArea_->layout()->addWidget(detail_);
    } else {
        placeholder_ = makeContentUnavailable(tr("No Workspace Selected"), QStringLiteral("square.grid.2x2"),
                                              tr("Select a workspace to restore or edit it."), detailArea_);
        detailArea_->layout()->addWidget(placeholder_);
    }
}

}  // namespace tessary
