#include "Tessary/settings/ui/WorkspacesSettingsView.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/WorkspacesPaneModel.h"
#include "Tessary/settings/ui/AddAppMenu.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/settings/ui/WorkspaceDetailView.h"
#include "Tessary/shell/AppActions.h"
#include "Tessary/shell/ui/ConfirmDestructive.h"
#include "Tessary/shell/ui/ListEditBar.h"
#include "Tessary/shell/ui/MasterListCard.h"
#include "Tessary/shell/ui/RowListView.h"

namespace tessary {

namespace {

const std::vector<Workspace>& storedWorkspaces(const SettingsContext& context) {
    static const std::vector<Workspace> none;
    return context.workspaces ? context.workspaces->library().workspaces : none;
}

bool holds(const SettingsContext& context, const std::optional<UUID>& id) {
    const auto& all = storedWorkspaces(context);
    return id && std::any_of(all.begin(), all.end(), [&](const Workspace& w) { return w.id == *id; });
}

}  // namespace

// The saved workspaces in library order, each its name over its counts of windows and apps.
class WorkspacesSettingsView::Rows final : public RowListModel {
public:
    explicit Rows(const SettingsContext& context) : context_(context) {}

    int count() const override { return static_cast<int>(storedWorkspaces(context_).size()); }
    ListRow row(int index) const override {
        const Workspace& workspace = storedWorkspaces(context_)[static_cast<std::size_t>(index)];
        return {QString::fromStdString(workspace.name), QString::fromStdString(workspaceRowSummary(workspace)), {}, {}, {}};
    }
    QString key(int index) const override {
        return QString::fromStdString(storedWorkspaces(context_)[static_cast<std::size_t>(index)].id.uuidString());
    }

private:
    const SettingsContext& context_;
};

WorkspacesSettingsView::WorkspacesSettingsView(SettingsContext& context, QWidget* parent)
    : SettingsPane(parent), context_(context), info_(makeAppInfo(context)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (context_.workspaces) {
        subscription_ = context_.workspaces->observe([this] {
            // The list at once learns how many workspaces there are now; the rest after the event
            // that changed them.
            if (rows_) rows_->refresh();
            QMetaObject::invokeMethod(this, [this] { rebuild(); }, Qt::QueuedConnection);
        });
    }
    rebuild();
}

void WorkspacesSettingsView::rebuild() {
    if (!holds(context_, selection_)) selection_.reset();
    const bool has = !storedWorkspaces(context_).empty();
    if (content_ && has == hasWorkspaces_ && (list_ || !has)) {
        if (list_) {
            fillList();
            showDetail();
        }
        return;
    }
    hasWorkspaces_ = has;
    SettingsForm::clearLater(layout());
    list_ = nullptr;
    rows_ = nullptr;
    bar_ = nullptr;
    detail_ = nullptr;
    detailHolder_ = nullptr;
    if (!has) {
        auto* empty = new EmptyListForm(tr("No Workspaces"), QStringLiteral("square.grid.2x2"),
                                        tr("A workspace remembers where every window is. Save one now, restore it any time."),
                                        tr("Restore a workspace from the tray menu, with its shortcut or from this list."),
                                        tr("Remove Workspace"), nullptr, this);
        empty->box()->bar()->setAddLabel(tr("Save Current Windows\u2026"));
        connect(empty->box()->bar()->addButton(), &QToolButton::clicked, this, [this] { beginSaveCurrentWindows(); });
        content_ = empty;
        layout()->addWidget(content_);
        return;
    }
    content_ = new QWidget(this);
    auto* row = new QHBoxLayout(content_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    // A list that appears (the first workspace saved, here or elsewhere) shows its first one.
    if (!selection_) selection_ = storedWorkspaces(context_).front().id;
    rows_ = new Rows(context_);
    RowLook look;
    look.padding = QMargins(8, 4, 8, 4);
    look.subtitleName = QStringLiteral("workspaceSummary");
    list_ = new RowListView(rows_, look);
    list_->setObjectName(QStringLiteral("workspaces"));
    list_->setAccessibleName(tr("Workspaces"));
    list_->onChosen = [this](int row) {
        selection_ = row < 0 ? std::nullopt : UUID::parsing(rows_->key(row).toStdString());
        updateBar();
        showDetail();
    };
    bar_ = new ListEditBar(tr("Remove Workspace"), nullptr, [this] { confirmRemove(); });
    bar_->setAddLabel(tr("Save Current Windows\u2026"));
    connect(bar_->addButton(), &QToolButton::clicked, this, [this] { beginSaveCurrentWindows(); });
    row->addWidget(new MasterListCard(list_, bar_), 0);
    detailHolder_ = new QWidget;
    auto* holder = new QVBoxLayout(detailHolder_);
    holder->setContentsMargins(0, 0, 0, 0);
    row->addWidget(detailHolder_, 1);
    layout()->addWidget(content_);
    fillList();
    showDetail();
}

void WorkspacesSettingsView::fillList() {
    rows_->refresh();
    list_->setSelectedRow(selection_ ? rows_->find(QString::fromStdString(selection_->uuidString())) : -1);
    updateBar();
}

void WorkspacesSettingsView::showDetail() {
    if (!detailHolder_) return;
    if (detail_ && selection_ == detail_->workspaceID()) {
        detail_->refresh();
        return;
    }
    SettingsForm::clearLater(detailHolder_->layout());
    detail_ = nullptr;
    if (selection_) {
        detail_ = new WorkspaceDetailView(context_, info_, *selection_);
        detailHolder_->layout()->addWidget(detail_);
        return;
    }
    detailHolder_->layout()->addWidget(
        SettingsForm::unavailable(tr("No Workspace Selected"), tr("Select a workspace to restore or edit it."), QStringLiteral("noWorkspaceSelected")));
}

void WorkspacesSettingsView::updateBar() {
    if (bar_) bar_->setCanRemove(holds(context_, selection_));
}

void WorkspacesSettingsView::select(std::optional<UUID> workspace) {
    selection_ = workspace;
    if (list_) fillList();
    showDetail();
}

void WorkspacesSettingsView::beginSaveCurrentWindows() {
    auto* prompt = new QInputDialog(window());
    prompt->setObjectName(QStringLiteral("saveWorkspacePrompt"));
    prompt->setWindowTitle(tr("Save Current Windows"));
    prompt->setLabelText(tr("Every open window's position will be remembered under this name.\n\nName"));
    prompt->setOkButtonText(tr("Save"));
    widenForItsTitle(*prompt);
    prompt->setWindowModality(Qt::WindowModal);
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    connect(prompt, &QInputDialog::textValueSelected, this, [this](const QString& typed) { saveCurrentWindows(typed); });
    prompt->open();
}

void WorkspacesSettingsView::saveCurrentWindows(const QString& typed) {
    if (!context_.workspaces) return;
    const std::string name = workspaceSaveName(typed.toStdString(), storedWorkspaces(context_).size());
    const Workspace saved = context_.workspaces->saveCurrentWindows(name);
    context_.actions.workspacesChanged();
    selection_ = saved.id;
}

void WorkspacesSettingsView::confirmRemove() {
    if (!holds(context_, selection_)) return;
    const UUID id = *selection_;
    const auto workspace = context_.workspaces->library().workspace(id);
    confirmDestructive(window(), removeWorkspaceConfirmation(workspace->name),
                       [&actions = context_.actions, id] { actions.deleteWorkspace(id); });
}

}  // namespace tessary
