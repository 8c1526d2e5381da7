#include "Tessary/settings/ui/WorkspaceDetailView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Tessary/services/WorkspaceService.h"
#include "Tessary/settings/WorkspacesPaneModel.h"
#include "Tessary/settings/ui/AppRow.h"
#include "Tessary/settings/ui/SettingsConfirmation.h"
#include "Tessary/settings/ui/SettingsForm.h"
#include "Tessary/shell/StatusMenuModel.h"
#include "Tessary/shell/ui/ButtonStyles.h"
#include "WindowEngine/DisplayProvider.h"

namespace tessary {

namespace {

// A title that keeps its middle out of sight when the row is narrow, as window titles put what
// tells them apart at either end.
class MiddleElidedLabel final : public QLabel {
public:
    MiddleElidedLabel(QString text, QWidget* parent) : QLabel(parent), full_(std::move(text)) {
        setTextFormat(Qt::PlainText);
        setToolTip(full_);
        setMinimumWidth(40);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setText(full_);
    }
    QString fullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, width()));
    }

private:
    QString full_;
};

}  // namespace

WorkspaceDetailView::WorkspaceDetailView(SettingsContext& context, const AppInfo& apps, const Workspace& workspace,
                                         QWidget* parent)
    : QWidget(parent), context_(context), apps_(apps), id_(workspace.id) {
    setObjectName(QStringLiteral("WorkspaceDetailView"));
    SettingsForm* form = SettingsForm::fill(this);

    QVBoxLayout* top = form->addSection();
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("workspaceName"));
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const std::string name = text.toStdString();
        edit([&name](Workspace& w) { w.name = name; });
    });
    top->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Name")), name_, this));
    if (context_.hooks.makeRecorder) {
        recorder_ = context_.hooks.makeRecorder(StatusMenuModel::workspaceShortcutName(id_), this);
        recorder_->setObjectName(QStringLiteral("workspaceShortcut"));
        top->addWidget(SettingsForm::row(SettingsForm::plainLabel(tr("Shortcut")), recorder_, this));
    }
    auto* lines = new QWidget;
    auto* linesColumn = new QVBoxLayout(lines);
    linesColumn->setContentsMargins(0, 0, 0, 0);
    linesColumn->setSpacing(2);
    saved_ = SettingsForm::plainLabel({}, lines);
    saved_->setObjectName(QStringLiteral("workspaceSaved"));
    displays_ = SettingsForm::captionLabel({}, lines);
    displays_->setObjectName(QStringLiteral("workspaceDisplays"));
    linesColumn->addWidget(saved_);
    linesColumn->addWidget(displays_);
    auto* buttons = new QWidget;
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->setSpacing(8);
    auto* update = new QPushButton(tr("Update with Current Windows\u2026"), buttons);
    update->setObjectName(QStringLiteral("updateWorkspace"));
    connect(update, &QPushButton::clicked, this, [this] { confirmUpdate(); });
    auto* restore = new QPushButton(tr("Restore Now"), buttons);
    restore->setObjectName(QStringLiteral("restoreWorkspace"));
    adaptiveButtonStyle(restore, true);
    connect(restore, &QPushButton::clicked, this, [this] { restoreNow(); });
    buttonRow->addStretch(1);
    buttonRow->addWidget(update);
    buttonRow->addWidget(restore);
    // The detail column is narrow beside the list: the buttons go under the two lines.
    top->addWidget(lines);
    top->addWidget(buttons);

    QVBoxLayout* options = form->addSection(tr("Options"));
    options->addWidget(SettingsForm::toggleRow(tr("Launch apps that are not running"), {},
                                               QStringLiteral("launchesMissingApps"), &launches_, this));
    connect(launches_, &QCheckBox::toggled, this, [this](bool on) { edit([on](Workspace& w) { w.launchesMissingApps = on; }); });
    options->addWidget(SettingsForm::toggleRow(tr("Restore automatically when these displays are connected"),
                                               tr("Applies when the same set of displays is attached."),
                                               QStringLiteral("restoresWhenDisplaysMatch"), &restores_, this));
    connect(restores_, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](Workspace& w) { w.restoresWhenDisplaysMatch = on; }); });
    // Long titles wrap instead of squeezing the line under them.
    for (QLabel* label : findChildren<QLabel*>()) label->setWordWrap(true);

    entries_ = form->addSection(QStringLiteral(" "));
    entriesHeader_ = form->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly).last();
    entriesHeader_->setObjectName(QStringLiteral("workspaceWindowsHeader"));
    form->addStretch();
    show(workspace);
}

void WorkspaceDetailView::edit(const std::function<void(Workspace&)>& change) {
    if (context_.workspaces) editWorkspace(*context_.workspaces, id_, change);
}

void WorkspaceDetailView::restoreNow() {
    if (!context_.workspaces) return;
    if (auto stored = context_.workspaces->library().workspace(id_)) context_.workspaces->restore(*stored);
}

void WorkspaceDetailView::confirmUpdate() {
    if (!context_.workspaces) return;
    const auto stored = context_.workspaces->library().workspace(id_);
    if (!stored) return;
    confirmDestructive(window(), updateWorkspaceConfirmation(stored->name), [this] {
        if (context_.workspaces) context_.workspaces->updateWithCurrentWindows(id_);
    });
}

void WorkspaceDetailView::show(const Workspace& workspace) {
    const QString name = QString::fromStdString(workspace.name);
    if (name_->text() != name) name_->setText(name);
    saved_->setText(QString::fromStdString(workspaceSavedText(workspace.modifiedAt)));
    const std::vector<DisplayInfo> displays = DisplayProvider::displays();
    displays_->setText(QString::fromStdString(workspaceDisplaySummary(workspace, displays)));
    {
        const QSignalBlocker launchBlocker(launches_);
        const QSignalBlocker restoreBlocker(restores_);
        launches_->setChecked(workspace.launchesMissingApps);
        restores_->setChecked(workspace.restoresWhenDisplaysMatch);
    }
    entriesHeader_->setText(tr("Windows (%1)").arg(static_cast<qulonglong>(workspace.entries.size())));
    while (QLayoutItem* item = entries_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const WorkspaceEntry& entry : workspace.entries) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("workspaceEntry"));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(8);
        // No icon at all for an application that is not installed.
        if (apps_.icon(entry.bundleID)) {
            auto* image = new QLabel(row);
            image->setPixmap(AppRow::applicationIcon(apps_, entry.bundleID).pixmap(16, 16));
            line->addWidget(image);
        }
        QLabel* app = SettingsForm::plainLabel(QString::fromStdString(apps_.appDisplayName(entry.bundleID)), row);
        app->setObjectName(QStringLiteral("entryApp"));
        line->addWidget(app);
        auto* title = new MiddleElidedLabel(QString::fromStdString(entry.title.value_or("")), row);
        title->setObjectName(QStringLiteral("entryTitle"));
        title->setForegroundRole(QPalette::PlaceholderText);
        line->addWidget(title, 1);
        line->addSpacing(8);
        QLabel* zones = SettingsForm::captionLabel(QString::fromStdString(workspaceEntryZonesText(entry)), row);
        zones->setObjectName(QStringLiteral("entryZones"));
        zones->setWordWrap(false);
        line->addWidget(zones);
        entries_->addWidget(row);
    }
}

}  // namespace tessary
