#include "Tessary/settings/ui/WorkspaceDetailView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/AppInfo.h"
#include "Tessary/settings/WorkspacesPaneModel.h"
#include "Tessary/settings/ui/AppRowList.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/ui/ButtonStyles.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

// Shown whole up to this many windows; more scroll within the list.
constexpr int shownWindows = 10;

}  // namespace

// The stored workspace's windows, each its application over its title, and its zones at the end.
class WorkspaceDetailView::Entries final : public AppRowsModel {
public:
    Entries(const SettingsContext& context, const AppInfo& info, UUID workspace)
        : AppRowsModel(info), context_(context), workspace_(workspace) {}

    int count() const override { return static_cast<int>(entries().size()); }
    ListRow row(int index) const override {
        const WorkspaceEntry& entry = entries()[static_cast<std::size_t>(index)];
        return {appName(entry.bundleID), QString::fromStdString(entry.title.value_or("")),
                QString::fromStdString(entryZonesText(entry.zoneIndices)), {}, {}};
    }
    QString key(int index) const override { return QString::fromStdString(entries()[static_cast<std::size_t>(index)].id.uuidString()); }
    QIcon icon(int index) const override { return appIcon(entries()[static_cast<std::size_t>(index)].bundleID); }

private:
    // The entries as stored, read in place: a workspace of thousands of windows is not copied per row.
    const std::vector<WorkspaceEntry>& entries() const {
        static const std::vector<WorkspaceEntry> none;
        if (!context_.workspaces) return none;
        for (const Workspace& workspace : context_.workspaces->library().workspaces) {
            if (workspace.id == workspace_) return workspace.entries;
        }
        return none;
    }

    const SettingsContext& context_;
    UUID workspace_;
};

WorkspaceDetailView::WorkspaceDetailView(SettingsContext& context, const AppInfo& info, UUID workspace, QWidget* parent)
    : QWidget(parent), context_(context), info_(info), workspace_(workspace) {
    SettingsForm* form = SettingsForm::fill(this);
    QVBoxLayout* head = form->addSection();
    name_ = new QLineEdit;
    name_->setObjectName(QStringLiteral("workspaceName"));
    name_->setAccessibleName(tr("Name"));
    name_->setMinimumWidth(180);
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const std::string name = text.toStdString();
        edit([&name](Workspace& w) { w.name = name; });
    });
    head->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Name")), name_, this));
    const std::string shortcutName = "workspace." + workspace_.uuidString();
    QWidget* recorder = context_.hooks.makeRecorder ? context_.hooks.makeRecorder(shortcutName, nullptr) : nullptr;
    if (!recorder) {
        auto* none = SettingsForm::captionLabel(tr("Not available in this build"));
        none->setWordWrap(false);
        recorder = none;
    }
    recorder->setObjectName(QStringLiteral("shortcut.") + QString::fromStdString(shortcutName));
    SettingsForm::nameField(recorder, tr("Shortcut"));
    head->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Shortcut")), recorder, this));

    auto* savedLines = new QWidget;
    auto* savedColumn = new QVBoxLayout(savedLines);
    savedColumn->setContentsMargins(0, 0, 0, 0);
    savedColumn->setSpacing(2);
    saved_ = SettingsForm::plainLabel({}, savedLines);
    saved_->setObjectName(QStringLiteral("workspaceSaved"));
    displays_ = SettingsForm::captionLabel({}, savedLines);
    displays_->setObjectName(QStringLiteral("workspaceDisplays"));
    savedColumn->addWidget(saved_);
    savedColumn->addWidget(displays_);
    auto* buttons = new QWidget;
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->setSpacing(8);
    auto* update = new QPushButton(tr("Update with Current Windows\u2026"), buttons);
    update->setObjectName(QStringLiteral("updateWorkspace"));
    connect(update, &QPushButton::clicked, this, [this] {
        const auto current = stored();
        if (!current) return;
        confirmDestructive(window(), updateWorkspaceConfirmation(current->name),
                           [workspaces = context_.workspaces, id = workspace_] {
                               if (workspaces) workspaces->updateWithCurrentWindows(id);
                           });
    });
    auto* restore = new QPushButton(tr("Restore Now"), buttons);
    restore->setObjectName(QStringLiteral("restoreWorkspace"));
    adaptiveButtonStyle(restore, true);
    connect(restore, &QPushButton::clicked, this, [this] {
        // The stored workspace: an update made since this view was drawn counts.
        if (const auto current = stored(); current && context_.workspaces) context_.workspaces->restore(*current);
    });
    buttonRow->addWidget(update);
    buttonRow->addWidget(restore);
    head->addWidget(savedLines);
    buttonRow->insertStretch(0, 1);
    head->addWidget(buttons);

    QVBoxLayout* options = form->addSection(tr("Options"));
    options->addWidget(SettingsForm::toggleRow(tr("Launch apps that are not running"), {},
                                               QStringLiteral("launchesMissingApps"), &launches_, this));
    connect(launches_, &QCheckBox::toggled, this, [this](bool on) { edit([on](Workspace& w) { w.launchesMissingApps = on; }); });
    options->addWidget(SettingsForm::toggleRow(tr("Restore automatically when these displays are connected"),
                                               tr("Applies when the same set of displays is attached."),
                                               QStringLiteral("restoresWhenDisplaysMatch"), &restores_, this));
    connect(restores_, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](Workspace& w) { w.restoresWhenDisplaysMatch = on; }); });

    windowsHeader_ = SettingsForm::plainLabel({}, this);
    QFont bold = windowsHeader_->font();
    bold.setBold(true);
    windowsHeader_->setFont(bold);
    form->addWidget(windowsHeader_);
    entries_ = new Entries(context_, info_, workspace_);
    RowLook look = appRowLook(20, false, QMargins(4, 2, 4, 2));
    look.subtitleElide = Qt::ElideMiddle;
    windows_ = new RowListView(entries_, look);
    windows_->setObjectName(QStringLiteral("workspaceWindows"));
    windows_->setAccessibleName(tr("Windows"));
    windows_->setFrameShape(QFrame::NoFrame);
    windows_->setSelectionMode(QAbstractItemView::NoSelection);
    windows_->viewport()->setAutoFillBackground(false);
    form->addSection()->addWidget(windows_);
    form->addStretch();
    refresh();
}

std::optional<Workspace> WorkspaceDetailView::stored() const {
    if (!context_.workspaces) return std::nullopt;
    return context_.workspaces->library().workspace(workspace_);
}

void WorkspaceDetailView::edit(const std::function<void(Workspace&)>& change) {
    if (context_.workspaces) editWorkspace(*context_.workspaces, workspace_, Date::now(), change);
}

void WorkspaceDetailView::refresh() {
    const auto current = stored();
    if (!current) return;
    const QString name = QString::fromStdString(current->name);
    if (name_->text() != name) name_->setText(name);
    saved_->setText(QString::fromStdString(workspaceSavedText(current->modifiedAt)));
    displays_->setText(QString::fromStdString(workspaceDisplaySummary(*current, DisplayProvider::displays())));
    const QSignalBlocker launches(launches_);
    launches_->setChecked(current->launchesMissingApps);
    const QSignalBlocker restores(restores_);
    restores_->setChecked(current->restoresWhenDisplaysMatch);
    windowsHeader_->setText(tr("Windows (%1)").arg(current->entries.size()));
    entries_->refresh();
    const int rows = windows_->count();
    windows_->setVisible(rows > 0);
    windows_->setFixedHeight(std::min(rows, shownWindows) * windows_->rowHeight());
}

}  // namespace tessary
